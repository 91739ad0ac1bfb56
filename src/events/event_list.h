// Every event the service reports, one line each:
//   RDEXT_EVENT(id, name, level, console, headline)
// - id: stable; the number the Windows Event Log and the README show;
// - level: Information, Warning or Error (the journal's <6>, <4>, <3>);
// - console: Printed when -console prints the same line, ServiceOnly when
//   only a service reports it;
// - headline: the event's fixed first line in the Event Log, its details
//   follow. cmake/event_messages.cmake turns this list into the message
//   table, so a line here must stay on one line.
// No include guard: the includer defines RDEXT_EVENT.

// clang-format off
RDEXT_EVENT(1000, ServiceStarted, Information, ServiceOnly, "The service started.")
RDEXT_EVENT(1001, ServiceStopped, Information, ServiceOnly, "The service stopped.")
RDEXT_EVENT(1002, DeviceFoundAgain, Information, ServiceOnly, "Forwards find the device again.")
RDEXT_EVENT(2000, DeviceLost, Warning, ServiceOnly, "Forwards no longer find the device.")
RDEXT_EVENT(2001, DeviceConfigKeptAside, Warning, Printed, "An invalid DeviceConfig.xml was kept aside.")
RDEXT_EVENT(2002, DeviceConfigNotTrusted, Warning, Printed, "DeviceConfig.xml is not used: its folder or file is not trusted.")
RDEXT_EVENT(2003, DeviceConfigNotUsable, Warning, Printed, "DeviceConfig.xml cannot be used.")
RDEXT_EVENT(2004, PortStartNotConfigured, Warning, Printed, "SERVER_PORT_START in config.ini is not usable.")
RDEXT_EVENT(2005, HttpsNotAvailable, Warning, Printed, "HTTPS is not available.")
RDEXT_EVENT(2006, TlsKeyReadable, Warning, ServiceOnly, "Users may read the TLS private key.")
RDEXT_EVENT(2007, PortsReserved, Warning, Printed, "Ports of the range are reserved by the system.")
RDEXT_EVENT(2008, SocketLayerFailed, Warning, Printed, "The socket layer did not start.")
RDEXT_EVENT(2009, ConfigIniUnreadable, Warning, Printed, "config.ini cannot be read.")
RDEXT_EVENT(2010, ProgramFolderChangeable, Warning, Printed, "Users other than the Administrators may change the program folder.")
RDEXT_EVENT(3000, StartFailed, Error, Printed, "The service could not start.")
RDEXT_EVENT(3001, EndedByError, Error, Printed, "The service ended on an unexpected error.")
// clang-format on
