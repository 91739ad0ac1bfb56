#include "xml/xml_tables.h"

const XmlVerbatimRow kXmlVerbatimRows[kXmlVerbatimRowCount] = {
    {"<![CDATA[", 9, "]]>"},
    {"<!DOCTYPE", 9, ">"},
    {"<!--", 4, "-->"},
    {"<PRE>", 5, "</PRE>"},
};

const char* const kXmlDoctypeSubsetCloser = "]>";

const XmlEntity kXmlEntities[kXmlEntityCount] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

bool xmlEqualsIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (xmlAsciiLower(*a) != xmlAsciiLower(*b)) return false;
        if (*a == '\0') return true;
    }
}
