// Every test case runs in a fresh temporary working folder with every global at its start value.
#pragma once
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

void tst_resetAll();  // every subsystem's whole-process reset; each subsystem adds its own

// Writes a file (creating its folders) relative to the working folder.
void tst_writeFile(const std::filesystem::path& path, std::string_view content);
// Reads a whole file; empty when it cannot be read.
std::string tst_readFile(const std::filesystem::path& path);
// Folder of the source tree's data/ and of the shared real tracks copied into the repo.
std::filesystem::path tst_sourceDir();

class WorkFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path folder_;  // the working folder of this case

private:
    std::filesystem::path previous_;
};

// A work folder whose log is captured from the start.
class LoggedTest : public WorkFolderTest {
protected:
    void SetUp() override;
};
