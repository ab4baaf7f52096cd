#include "ConfigFileBytes.h"
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <sys/stat.h>

// Whatever sits at "config.gcfg", the program starts with the defaults, prints one line per problem and exits 0
// after its frames. A FIFO stands for the paths (it would block a plain read; the config path tests hold the
// others), values off the real screen and monitors for the fields.
TEST(ConfigFileE2e, UnusableConfigFilesStartWithTheDefaultsAndOneLinePerProblem) {
    struct Case {
        const char* name;
        std::vector<const char*> notes;
    };
    const Case cases[] = {
        {"fifo", {"config.gcfg is a FIFO, not a settings file"}},
        {"values",
         {"config.gcfg: look sensitivity nan is not a positive number; using 1",
          "config.gcfg: window mode 7 is neither 0 (windowed) nor 1 (fullscreen); using 1",
          "config.gcfg: window position (2000000000, 100) is off every screen; using (50, 50)",
          "config.gcfg: monitor 3 is not connected (1 monitors); using monitor 0"}},
    };
    for (const Case& c : cases) {
        std::string dir = makeWorkDir(std::string("config-") + c.name);
        std::string config = dir + "/config.gcfg";
        if (std::string(c.name) == "fifo") {
            ASSERT_EQ(mkfifo(config.c_str(), 0600), 0);
        } else {
            ConfigFileFields bad = windowedConfigAt(2000000000, 100);
            bad.lookSensitivity = std::numeric_limits<float>::quiet_NaN();
            bad.windowMode = 7;
            bad.monitorIndex = 3;
            writeConfigFileBytes(config, configFileBytes(bad));
        }
        RunResult r = runProgram(dir, "SKIP_DEMO --frames 3");
        EXPECT_EQ(r.exitCode, 0) << c.name << "\n" << r.output;
        for (const char* note : c.notes)
            EXPECT_NE(r.output.find(note), std::string::npos) << c.name << ": " << note << "\n" << r.output;
        // Exactly the expected notes, and nothing from the validation layer or an uncaught exception.
        EXPECT_EQ(countOccurrences(r.output, "config.gcfg"), int(c.notes.size())) << c.name << ":\n" << r.output;
        EXPECT_EQ(validationMessageCount(r.output), 0) << c.name;
        EXPECT_EQ(r.output.find("terminate"), std::string::npos) << c.name;
    }
}
