// Fixture of the run tests: a fixed UTC clock, a captured log and the encrypted type database
// that every start-up reads.
#pragma once
#include <chrono>

#include "core/clock.h"
#include "core/crypto.h"
#include "core/log.h"
#include "support/work_folder.h"

// 2024-03-05 14:07:09 UTC, a Tuesday.
inline const UtcTimePoint kShellNow = UtcTimePoint(std::chrono::seconds(1709647629));

inline constexpr const char* kSmallTypeDatabase =
    "<dbase><types><type icao=\"B738\" cat=\"Large\" span=\"35.79\"/>"
    "<type icao=\"C172\" cat=\"Light\" span=\"11.00\"/></types></dbase>";

// What loading kSmallTypeDatabase logs: the first line of every run's log.
inline constexpr const char* kTypeDatabaseLine =
    "Type database input/dbase.xml: 2 types, 0 similar-type groups, 0 registrations, 0 publishers, 0 "
    "simaddon "
    "airports, 0 third-party publishers\n";

class ShellRunTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setUtcClock([] { return kShellNow; });
        gf_setLogCapture(true);
        tst_writeFile("input/dbase.enc", gf_encryptBytes(kSmallTypeDatabase));
    }
};
