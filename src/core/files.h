// Text files and folders: reading text in any of the character sets the simulator's files come
// in, writing line files, removing and counting files, cleaning report folders, and the user's
// application data folder. Relative paths are relative to the working folder.
#pragma once
#include <cstddef>
#include <filesystem>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Files read whole into memory are refused above this size: a scenario, the livery list, the
// type database and the text files the program reads stay far below it, and a larger file
// would cost several times its size in memory and seconds of start-up.
inline constexpr std::uintmax_t kMaxWholeFileBytes = 256ull << 20;  // 256 MiB

// Reads the whole file into bytes (replacing them) when it is at most maxBytes long. The
// reason when it cannot ("No such file or directory", "the file is 209715200 bytes, more than
// the limit of 1048576 bytes", ...); nullopt when it was read.
std::optional<std::string> gf_readWholeFile(const std::filesystem::path& path, std::string& bytes,
                                            std::uintmax_t maxBytes = kMaxWholeFileBytes);

// The whole file as it is; false when it cannot be opened or a read fails (a folder, for one).
bool gf_readFileBytes(const std::filesystem::path& path, std::string& bytes);
// Reads the file and decodes it by its character set (core/charset.h) into UTF-8 lines, which
// replace the vector's content (its reserved room stays). False when the file cannot be read.
bool gf_readTextFile(const std::filesystem::path& path, std::vector<std::string>& lines);
// The lines of a plain text file (a CR before the LF dropped); none when it cannot be opened.
std::vector<std::string> gf_readFileLines(const std::filesystem::path& path);
// Appends every line of the stream to the list (a CR before the LF dropped).
void gf_readLines(std::istream& in, std::vector<std::string>& lines);

// Writes every line followed by a line end, replacing the file (atomically: the old file stays
// whole when writing fails); false when it cannot be written.
bool gf_writeTextFile(const std::vector<std::string>& lines, const std::filesystem::path& path);
// The same; the reason when the file cannot be written ("Permission denied", ...), nullopt when
// it was written.
std::optional<std::string> gf_replaceTextFile(const std::vector<std::string>& lines,
                                              const std::filesystem::path& path);
// Writes the text, and a line end when asked, replacing the file as above; false on failure.
bool gf_writeTextToFile(std::string_view text, const std::filesystem::path& path, bool withEndOfLine);

// Creates the folder with all missing parents; a failure raises std::filesystem::filesystem_error
// naming the operation ("create_directories") and the path.
void gf_createDirectories(const std::filesystem::path& folder);
// Removes the file when it exists; a failure is logged as the warning
// "Warning: could not remove {path}, errorcode: {message}" and not raised.
void gf_removeFileIfExists(const std::filesystem::path& path);
// Regular files directly in the folder (sub-folders not counted); 0 when it does not exist.
std::size_t gf_countFiles(const std::filesystem::path& folder);
// Names without extension of the folder's files ending in ".xml" in any letter case (a file
// named ".xml" alone has no name), sorted; none when the folder does not exist.
std::vector<std::string> gf_listXmlFiles(const std::filesystem::path& folder);
// Logs "Cleaning folder: {folder}" and removes every file directly in the folder (sub-folders
// stay). A file-system error raises qtk::UserErrorException 5 "Filesystem error: {what}".
void gf_cleanFolder(const std::filesystem::path& folder);

// The simulator's major version: "5" or "6" after the first "v"/"V" followed by 5 or 6 in
// SIM_INSTALL_PATH, else the P3D_VERSION setting as text.
std::string gf_simVersionFromPath();
