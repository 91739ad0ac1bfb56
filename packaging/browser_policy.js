// Deferred custom actions of the installer (JScript, run by the Windows
// Installer as the system): the browsers' local-network policy for the
// allowed origins, so that their pages call the service without a prompt.
//
// WriteBrowserPolicy (CustomActionData: the ALLOWED_ORIGINS text) adds each
// origin as a URL pattern to every list below, in numbered values that are
// free, and leaves the values already there alone (an origin already listed
// is not added again). What it wrote is recorded under RECORD_KEY, so that
// RemoveBrowserPolicy deletes those values and no other; a second install
// first takes back what the first one wrote.

var POLICY_LISTS = [
  "SOFTWARE\\Policies\\Google\\Chrome\\LocalNetworkAccessAllowedForUrls",
  "SOFTWARE\\Policies\\Google\\Chrome\\LoopbackNetworkAllowedForUrls",
  "SOFTWARE\\Policies\\Microsoft\\Edge\\LocalNetworkAccessAllowedForUrls",
  "SOFTWARE\\Policies\\Microsoft\\Edge\\LoopbackNetworkAllowedForUrls"
];
// The installer's own key (the program keeps nothing in the registry): one
// value a list, named by its path with "/", holding "number pattern" lines.
var OWN_KEY = "SOFTWARE\\rdserver_ext";
var RECORD_KEY = OWN_KEY + "\\BrowserPolicy";
// Numbers looked at in a list; an administrator's list is far shorter.
var MAX_ENTRIES = 200;
var INSTALLMESSAGE_INFO = 0x04000000;

var shell = new ActiveXObject("WScript.Shell");

function log(text) {
  var record = Session.Installer.CreateRecord(1);
  record.StringData(0) = "[1]";
  record.StringData(1) = "Browser policy: " + text;
  Session.Message(INSTALLMESSAGE_INFO, record);
}

function read(path) {
  try {
    return String(shell.RegRead("HKLM\\" + path));
  } catch (e) {
    return null;
  }
}

function write(path, text) {
  shell.RegWrite("HKLM\\" + path, text, "REG_SZ");
}

// Wine's scripting host has no RegDelete; reg.exe does the same everywhere.
function removeValue(key, name) {
  try {
    shell.RegDelete("HKLM\\" + key + "\\" + name);
  } catch (e) {
    shell.Run("reg delete \"HKLM\\" + key + "\" /v \"" + name + "\" /f", 0, true);
  }
}

function removeKey(key) {
  shell.Run("reg delete \"HKLM\\" + key + "\" /f", 0, true);
}

// "https://*.bank.example" -> "https://[*.]bank.example": the browsers'
// pattern for a host and its subdomains.
function patternOf(origin) {
  return origin.replace("://*.", "://[*.]");
}

function patternsOf(origins) {
  var patterns = [];
  var words = origins.split(/[\s,]+/);
  for (var i = 0; i < words.length; ++i) {
    if (words[i] !== "") patterns.push(patternOf(words[i]));
  }
  return patterns;
}

// The values this installer wrote into a list: [{ number, pattern }].
function recordName(list) {
  return RECORD_KEY + "\\" + list.replace(/\\/g, "/");
}

function recorded(list) {
  var text = read(recordName(list));
  var entries = [];
  var lines = text ? text.split("\n") : [];
  for (var i = 0; i < lines.length; ++i) {
    var space = lines[i].indexOf(" ");
    if (space > 0) entries.push({ number: lines[i].slice(0, space), pattern: lines[i].slice(space + 1) });
  }
  return entries;
}

// Deletes what the record names, where it still holds the pattern written.
function removeOwn() {
  for (var i = 0; i < POLICY_LISTS.length; ++i) {
    var entries = recorded(POLICY_LISTS[i]);
    for (var j = 0; j < entries.length; ++j) {
      if (read(POLICY_LISTS[i] + "\\" + entries[j].number) === entries[j].pattern) {
        removeValue(POLICY_LISTS[i], entries[j].number);
      }
    }
  }
  removeKey(RECORD_KEY);
}

function addToList(list, patterns) {
  var taken = {};
  var listed = {};
  for (var n = 1; n <= MAX_ENTRIES; ++n) {
    var value = read(list + "\\" + n);
    if (value !== null) {
      taken[n] = true;
      listed[value] = true;
    }
  }
  var lines = [];
  var number = 1;
  for (var i = 0; i < patterns.length; ++i) {
    if (listed[patterns[i]]) continue;
    while (taken[number]) ++number;
    write(list + "\\" + number, patterns[i]);
    taken[number] = true;
    listed[patterns[i]] = true;
    lines.push(number + " " + patterns[i]);
  }
  if (lines.length > 0) write(recordName(list), lines.join("\n"));
  log(list + ": " + (lines.length > 0 ? lines.join(", ") : "every origin already listed"));
}

function WriteBrowserPolicy() {
  removeOwn();
  var patterns = patternsOf(String(Session.Property("CustomActionData")));
  if (patterns.length === 0) {
    log("BROWSER_POLICY is set but ALLOWED_ORIGINS is empty: nothing written");
    return 1;
  }
  for (var i = 0; i < POLICY_LISTS.length; ++i) addToList(POLICY_LISTS[i], patterns);
  return 1;
}

function RemoveBrowserPolicy() {
  removeOwn();
  removeKey(OWN_KEY);
  log("removed the values this package wrote");
  return 1;
}
