#include "aircraft/type_database_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/errors.h"
#include "core/geo.h"
#include "core/text.h"

namespace {

constexpr int kBrokenFile = 99;
// Above the largest aircraft ever flown (117 m): a span beyond it is a typing error.
constexpr double kMaxSpanMeters = 120;

struct Reader {
    std::string_view xml;
    std::string_view source;
    TypeDatabaseTables tables;
};

// "line 12, offset 345": a place in the text, counted from its start.
std::string lf_at(const Reader& rd, ptrdiff_t offset) {
    if (offset < 0 || static_cast<size_t>(offset) > rd.xml.size()) return "an unknown place";
    auto line = 1 + std::count(rd.xml.begin(), rd.xml.begin() + offset, '\n');
    return fmt::format("line {}, offset {}", line, offset);
}

std::string lf_place(const Reader& rd, pugi::xml_node node) {
    return lf_at(rd, node.offset_debug());
}

[[noreturn]] void lf_refuse(const Reader& rd, pugi::xml_node node, std::string_view problem) {
    throw qtk::UserErrorException(kBrokenFile, fmt::format("{}: element \"{}\" at {}: {}", rd.source,
                                                           node.name(), lf_place(rd, node), problem));
}

void lf_drop(Reader& rd, pugi::xml_node node, std::string_view problem) {
    rd.tables.dropped.push_back(
        fmt::format("element \"{}\" at {}: {}", node.name(), lf_place(rd, node), problem));
}

std::string lf_attr(pugi::xml_node node, const char* name) {
    return gf_trim(node.attribute(name).as_string());
}

// The items of a comma list, trimmed; empty items skipped.
std::vector<std::string> lf_listAttr(pugi::xml_node node, const char* name) {
    auto items = gf_split(node.attribute(name).as_string(), ',');
    std::erase_if(items, [](const std::string& item) { return item.empty(); });
    return items;
}

bool lf_isCode(std::string_view s, size_t minLen, size_t maxLen, bool dashAllowed) {
    if (s.size() < minLen || s.size() > maxLen) return false;
    return std::all_of(s.begin(), s.end(), [&](char c) {
        return std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) ||
               (dashAllowed && c == '-');
    });
}

std::optional<AircraftCategory> lf_categoryOfName(std::string_view name) {
    for (int i = 0; i < kCategoryCount; ++i) {
        auto category = static_cast<AircraftCategory>(i);
        if (gf_categoryName(category) == name) return category;
    }
    return std::nullopt;
}

// A span in metres above 0 and at most kMaxSpanMeters; nothing otherwise (no blanks, no "+").
std::optional<double> lf_spanMeters(std::string_view text) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || value <= 0 || value > kMaxSpanMeters) return std::nullopt;
    return value;
}

// <type icao="A20N" cat="Large" span="35.80"/>
void lf_readType(Reader& rd, pugi::xml_node node) {
    std::string icao = lf_attr(node, "icao");
    if (!lf_isCode(icao, 2, 4, false)) lf_refuse(rd, node, fmt::format("invalid type code \"{}\"", icao));
    std::string cat = lf_attr(node, "cat");
    auto category = lf_categoryOfName(cat);
    if (!category) lf_refuse(rd, node, fmt::format("invalid category \"{}\" of type \"{}\"", cat, icao));
    TypeInfo info{*category, -1};
    if (auto span = node.attribute("span")) {
        auto meters = lf_spanMeters(gf_trim(span.as_string()));
        if (!meters)
            lf_refuse(rd, node,
                      fmt::format("invalid wing span \"{}\" of type \"{}\"", span.as_string(), icao));
        info.halfSpanNm = gf_metersToNm(*meters) / 2;
    }
    if (!rd.tables.types.emplace(icao, info).second)
        lf_refuse(rd, node, fmt::format("type \"{}\" given twice", icao));
}

void lf_averageSpans(TypeDatabaseTables& t) {
    std::array<int, kCategoryCount> counts{};
    for (const auto& [code, info] : t.types) {
        if (info.halfSpanNm < 0) continue;
        auto i = static_cast<size_t>(info.category);
        t.categoryHalfSpanNm[i] += info.halfSpanNm;
        ++counts[i];
    }
    for (size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] > 0) t.categoryHalfSpanNm[i] /= counts[i];
    }
}

// <group types="A318,A319,A320,A321,A19N,A20N,A21N"/>
void lf_readGroup(Reader& rd, pugi::xml_node node) {
    std::vector<std::string> group;
    for (auto& type : lf_listAttr(node, "types")) {
        if (!rd.tables.types.contains(type)) {
            lf_drop(rd, node, fmt::format("unknown type \"{}\" in a similar-type group", type));
            continue;
        }
        if (std::find(group.begin(), group.end(), type) == group.end()) group.push_back(std::move(type));
    }
    if (group.size() < 2) {
        lf_drop(rd, node, "similar-type group with fewer than two known types");
        return;
    }
    rd.tables.similarGroups.push_back(std::move(group));
}

// <reg id="HB-JCA" airl="SWR" type="BCS3"/>   <reg id="N601FE" airl="FDX" type="MD11" cargo="true"/>
void lf_readRegistration(Reader& rd, pugi::xml_node node) {
    std::string id = lf_attr(node, "id");
    if (!lf_isCode(id, 2, 12, true)) return lf_drop(rd, node, fmt::format("invalid registration \"{}\"", id));
    DbRecord record{lf_attr(node, "airl"), lf_attr(node, "type"), lf_attr(node, "opr"), false};
    if (!record.type.empty() && !rd.tables.types.contains(record.type)) {
        return lf_drop(rd, node, fmt::format("unknown type \"{}\" of registration \"{}\"", record.type, id));
    }
    std::string cargo = lf_attr(node, "cargo");
    if (cargo != "" && cargo != "true" && cargo != "false") {
        return lf_drop(rd, node, fmt::format("invalid cargo flag \"{}\" of registration \"{}\"", cargo, id));
    }
    record.cargo = cargo == "true";
    if (!rd.tables.registrations.emplace(id, std::move(record)).second) {
        lf_drop(rd, node, fmt::format("registration \"{}\" given twice", id));
    }
}

// <pub names="FlyTampa,Fly Tampa"/>
void lf_readPublisher(Reader& rd, pugi::xml_node node) {
    auto names = lf_listAttr(node, "names");
    if (names.empty()) return lf_drop(rd, node, "publisher without names");
    rd.tables.publishers.push_back(std::move(names));
}

// <simaddonP3D arpts="LSZH,LSGG,LSZB"/>
void lf_readSimAddons(Reader& rd, pugi::xml_node node) {
    auto airports = lf_listAttr(node, "arpts");
    if (airports.empty()) return lf_drop(rd, node, "no airports");
    rd.tables.simAddonAirports.insert(airports.begin(), airports.end());
}

// <thirdpartieP3D pub="FlyTampa" arpts="EHAM221,LOWW154,EKCH124"/>
void lf_readThirdParty(Reader& rd, pugi::xml_node node) {
    std::string publisher = lf_attr(node, "pub");
    if (publisher.empty()) return lf_drop(rd, node, "publisher without name");
    auto airports = lf_listAttr(node, "arpts");
    if (airports.empty())
        return lf_drop(rd, node, fmt::format("publisher \"{}\" without airports", publisher));
    rd.tables.thirdPartyPublishers.push_back({std::move(publisher), std::move(airports)});
}

// Calls read for every child element of the section named item, in file order.
template <class Read>
void lf_readSection(Reader& rd, pugi::xml_node root, const char* section, const char* item, Read read) {
    for (auto sectionNode : root.children(section)) {
        for (auto node : sectionNode.children(item)) read(rd, node);
    }
}

pugi::xml_node lf_root(const Reader& rd, const pugi::xml_document& doc,
                       const pugi::xml_parse_result& result) {
    if (!result) {
        throw qtk::UserErrorException(
            kBrokenFile, fmt::format("{}: not an XML file: {} at {}", rd.source, result.description(),
                                     lf_at(rd, result.offset)));
    }
    auto root = doc.document_element();
    if (std::string_view(root.name()) != "dbase") {
        throw qtk::UserErrorException(kBrokenFile,
                                      fmt::format("{}: root element \"dbase\" missing", rd.source));
    }
    if (!root.child("types").child("type")) {
        throw qtk::UserErrorException(
            kBrokenFile, fmt::format("{}: section \"types\" missing or without \"type\"", rd.source));
    }
    return root;
}

}  // namespace

TypeDatabaseTables gf_parseTypeDatabase(std::string_view xml, std::string_view sourceName) {
    Reader rd{xml, sourceName, {}};
    pugi::xml_document doc;
    auto result = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    auto root = lf_root(rd, doc, result);
    lf_readSection(rd, root, "types", "type", lf_readType);
    lf_averageSpans(rd.tables);
    lf_readSection(rd, root, "similars", "group", lf_readGroup);
    lf_readSection(rd, root, "registrations", "reg", lf_readRegistration);
    lf_readSection(rd, root, "publishers", "pub", lf_readPublisher);
    lf_readSection(rd, root, "simaddonsP3D", "simaddonP3D", lf_readSimAddons);
    lf_readSection(rd, root, "thirdpartiesP3D", "thirdpartieP3D", lf_readThirdParty);
    return std::move(rd.tables);
}
