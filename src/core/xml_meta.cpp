#include "core/xml_meta.h"

#include <string>

#include <fmt/format.h>

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
    // The record names are our own identifiers, so they can stand inside the quoted literal.
    std::string query = fmt::format("/meta/info[@name='{}']", record.name());
    pugi::xpath_node found = doc.select_node(query.c_str());
    if (!found) {
        record.set("");
        return false;
    }
    record.set(found.node().attribute("value").value());
    return true;
}

void gf_appendParameterNode(pugi::xml_node parent, std::string_view name, std::string_view value) {
    pugi::xml_node node = parent.append_child("parameter");
    node.append_attribute("name").set_value(std::string(name).c_str());
    node.append_attribute("value").set_value(std::string(value).c_str());
}
