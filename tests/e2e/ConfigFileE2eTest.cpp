#include "ConfigFileBytes.h"
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <sstream>

// Whatever sits at "config.gcfg", the program starts with the defaults, prints one line per problem and exits 0
// after its frames: no library exception, no blocked read on a FIFO, no unbounded read of a device.
TEST(ConfigFileE2e, UnusableConfigFilesStartWithTheDefaultsAndOneLinePerProblem) {
    std::string dir = makeWorkDir("config-cases");
    ConfigFileFields bad = windowedConfigAt(2000000000, 100);
    bad.lookSensitivity = std::numeric_limits<float>::quiet_NaN();
    bad.windowMode = 7;
    bad.monitorIndex = 3;
    writeConfigFileBytes(dir + "/bad-values.gcfg", configFileBytes(bad));
    RunResult r = runUnderXvfb(dir, R"SH(
run() {
    echo "== $1"
    timeout 300 "$KESTRUNE" SKIP_DEMO --frames 3 > out.log 2>&1
    echo "exit $?"
    grep -E "config.gcfg|Validation|VUID|terminate|what\(\)" out.log
}
mkdir config.gcfg; run directory; rm -rf config.gcfg
mkfifo config.gcfg; run fifo; rm -f config.gcfg
ln -s /dev/zero config.gcfg; run device; rm -f config.gcfg
ln -s loop config.gcfg; ln -s config.gcfg loop; run loop; rm -f config.gcfg loop
head -c 1048576 /dev/zero > config.gcfg; run large; rm -f config.gcfg
cp bad-values.gcfg config.gcfg; run values; rm -f config.gcfg
exit 0
)SH",
                               900);
    ASSERT_EQ(r.exitCode, 0) << r.output;

    // The output of each case, by name.
    std::map<std::string, std::string> cases;
    std::istringstream lines(r.output);
    std::string line, current;
    while (std::getline(lines, line)) {
        if (line.rfind("== ", 0) == 0)
            current = line.substr(3);
        else if (!current.empty())
            cases[current] += line + "\n";
    }
    struct Expected {
        const char* name;
        std::vector<const char*> notes;
    };
    const Expected expected[] = {
        {"directory", {"config.gcfg is a directory, not a settings file; using the default settings"}},
        {"fifo", {"config.gcfg is a FIFO, not a settings file"}},
        {"device", {"config.gcfg is a character device, not a settings file"}},
        {"loop", {"config.gcfg cannot be read (Too many levels of symbolic links)"}},
        {"large",
         {"config.gcfg has 1048576 bytes instead of 48; only the first 48 are read",
          "config.gcfg: look sensitivity 0 is not a positive number; using 1",
          "config.gcfg: window size 0 x 0 is not a window size"}},
        {"values",
         {"config.gcfg: look sensitivity nan is not a positive number; using 1",
          "config.gcfg: window mode 7 is neither 0 (windowed) nor 1 (fullscreen); using 1",
          "config.gcfg: window position (2000000000, 100) is off every screen; using (50, 50)",
          "config.gcfg: monitor 3 is not connected (1 monitors); using monitor 0"}},
    };
    for (const Expected& e : expected) {
        const std::string& out = cases[e.name];
        EXPECT_NE(out.find("exit 0\n"), std::string::npos) << e.name << ":\n" << out;
        for (const char* note : e.notes)
            EXPECT_NE(out.find(note), std::string::npos) << e.name << ": " << note << "\n" << out;
        // Exactly the expected notes, and nothing from the validation layer or an uncaught exception.
        EXPECT_EQ(countOccurrences(out, "config.gcfg"), int(e.notes.size())) << e.name << ":\n" << out;
        EXPECT_EQ(validationMessageCount(out), 0) << e.name;
        EXPECT_EQ(out.find("terminate"), std::string::npos) << e.name;
    }
}
