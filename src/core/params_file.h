// parameters.xml: the settings kept between runs. Read once at start-up by the run thread;
// written at closing and, for single options, at once by whoever changes them (any thread).
//
// Format (UTF-8 XML):
//   <?xml version="1.0"?>
//   <parameters>                                 the one root element
//     <parameter name="RANGE" value="40" />      one per persisted record, in gf_allParameters()
//     <parameter name="AUTO_RANGE" value="true" />  order; name = the record's key, value = its
//     ...                                        text form (integers decimal, bools "true"/"false",
//   </parameters>                                floats shortest round-trip, texts as they are)
// Reading: unknown names and elements without a name are ignored; integers are clamped to their
// range; a value that does not parse keeps the default and is logged with its line. The
// meta-entry records (author, date, version) are never stored here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/params.h"

// Why a text is not a usable parameters.xml: the XML parser's description and byte offset.
struct XmlProblem {
    std::string description;
    std::ptrdiff_t offset = 0;
};

// Sets every persisted record to its default, then applies the entries of the text (see above);
// source names the file in log lines. A text that is not well-formed or has no <parameters>
// root applies nothing and returns the problem.
std::optional<XmlProblem> gf_applyParameters(std::string_view text, std::string_view source);

// parameters.xml holds about a hundred short entries; a larger file than this is refused as
// unreadable (kept aside, defaults used) instead of costing memory and seconds at start-up.
inline constexpr std::uintmax_t kMaxParametersFileBytes = 1u << 20;  // 1 MiB

// Reads g_parametersFile into the records. A missing file means defaults (false). A file that
// cannot be read or is malformed is logged with the parser's description and offset, kept aside
// as parameters.xml.bad (replacing an older one) and the defaults are used (false).
bool gf_loadParameters();

// Writes every persisted record into g_parametersFile atomically; false (logged) when it cannot.
bool gf_saveParameters();

// Writes one record's current value ("true"/"false") into g_parametersFile, creating the entry
// (or the file) when missing and keeping the other entries; logs "{}={}" (name, value). A broken
// file is kept aside as with loading first. False (logged) when the file cannot be written.
bool gf_saveParameter(BoolParameter& record);
// The warning of the last read or write of the file that failed (a file kept aside, a save
// that could not be written), emptied by the call; empty when there was none.
std::string gf_takeParametersProblem();
