// The meta block of generated XML files and the name/value parameter element shared by
// parameters.xml and the airport parking files. Used by every writer and reader of our XML files.
#pragma once
#include <string_view>

#include <pugixml.hpp>

#include "core/params.h"

// Appends the top-level element
//   <meta>
//     <info name="author" value="Trelvo"/>
//     <info name="date" value="Fri Dec 06 16:00:00 2024"/>   UTC now, gf_formatUtcTime form
//     <info name="version" value="0.1.0"/>                    TRELVO_VERSION
//     <info name="simulator" value="P3D"/>                    g_simulatorName
//   </meta>
// to the document; false when an element cannot be appended.
bool gf_writeMetaInfo(pugi::xml_document& doc);

// Looks up "/meta/info[@name='<record name>']". Found: stores its "value" attribute (empty
// when absent) in the record and returns true. Not found: clears the record, false.
bool gf_readMetaInfo(const pugi::xml_document& doc, TextParameter& record);

// The first row as "/<block>/<row>[@name='<name>']" selects it: a row element under any
// top-level block element whose (first) "name" attribute is name; an empty node when none.
// Walks the elements without compiling a query.
pugi::xml_node gf_namedRow(const pugi::xml_document& doc, const char* block, const char* row,
                           std::string_view name);

// Appends <parameter name="..." value="..."/> to parent, the attributes in that order.
void gf_appendParameterNode(pugi::xml_node parent, std::string_view name, std::string_view value);
