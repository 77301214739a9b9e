#include "core/xml_meta.h"

#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/paths.h"

namespace {

bool lf_appendInfo(pugi::xml_node meta, const char* name, const std::string& value) {
    pugi::xml_node info = meta.append_child("info");
    if (!info) return false;
    return info.append_attribute("name").set_value(name) &&
           info.append_attribute("value").set_value(value.c_str());
}

}  // namespace

bool gf_writeMetaInfo(pugi::xml_document& doc) {
    pugi::xml_node meta = doc.append_child("meta");
    if (!meta) return false;
    return lf_appendInfo(meta, "author", "Trelvo") &&
           lf_appendInfo(meta, "date", gf_formatUtcTime(gf_utcNow())) &&
           lf_appendInfo(meta, "version", TRELVO_VERSION) &&
           lf_appendInfo(meta, "simulator", g_simulatorName);
}

bool gf_readMetaInfo(const pugi::xml_document& doc, TextParameter& record) {
    const pugi::xml_node found = gf_namedRow(doc, "meta", "info", record.name());
    if (!found) {
        record.set("");
        return false;
    }
    record.set(found.attribute("value").value());
    return true;
}

pugi::xml_node gf_namedRow(const pugi::xml_document& doc, const char* block, const char* row,
                           std::string_view name) {
    // The query's @name is the row's first "name" attribute; a row without one never matches.
    for (pugi::xml_node element : doc.children(block))
        for (pugi::xml_node candidate : element.children(row))
            if (const pugi::xml_attribute key = candidate.attribute("name"); key && key.value() == name)
                return candidate;
    return {};
}

void gf_appendParameterNode(pugi::xml_node parent, std::string_view name, std::string_view value) {
    pugi::xml_node node = parent.append_child("parameter");
    node.append_attribute("name").set_value(std::string(name).c_str());
    node.append_attribute("value").set_value(std::string(value).c_str());
}
