#include "App/Application.h"
#include "App/CommandLine.h"
#include "App/Recorder.h"
#include "App/Script.h"
#include "Demo/Spacecraft/MissionText.h"
#include "Engine/Files/UserFile.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    CommandLine commandLine = parseCommandLine(argc, argv);
    if (!commandLine.errors.empty()) {
        for (const std::string& error : commandLine.errors)
            std::cerr << "kestrune: " << error << "\n";
        std::cerr << usageText();
        return 2;
    }
    if (commandLine.help) {
        std::cout << usageText();
        return 0;
    }

    std::optional<ScriptPlayer> script;
    if (commandLine.scriptPath) {
        UserFile file = readUserFile(*commandLine.scriptPath, MaxScriptFileBytes);
        if (!file.ok()) {
            std::cout << "Unable to read the script file \"" << *commandLine.scriptPath << "\": " << file.reason()
                      << std::endl;
            return 1;
        }
        ScriptParse parsed = parseScript(file.bytes);
        if (!parsed.error.empty()) {
            std::cout << "Script \"" << *commandLine.scriptPath << "\", " << parsed.error << std::endl;
            return 1;
        }
        script.emplace(std::move(parsed.commands));
    }

    // A mission file that cannot be read or parsed stops the program before a window opens; its body indices
    // are checked once the system exists.
    if (commandLine.missionPath) {
        std::string text, error;
        if (!Demo::readMissionFile(*commandLine.missionPath, text, error)) {
            std::cout << "Mission \"" << *commandLine.missionPath << "\" " << error << std::endl;
            return 1;
        }
        Demo::MissionParse parsed = Demo::parseMissionText(text, Demo::MissionData{});
        if (!parsed.ok()) {
            std::cout << "Mission \"" << *commandLine.missionPath << "\", " << parsed.error << std::endl;
            return 1;
        }
    }

    // Recording targets are checked before a window opens: a missing encoder, an unknown extension or a place
    // that cannot be written stops the program here.
    {
        std::vector<std::string> targets;
        if (commandLine.recordPath)
            targets.push_back(*commandLine.recordPath);
        if (script)
            for (const std::string& path : script->recordPaths())
                targets.push_back(path);
        const char* searchPath = std::getenv("PATH");
        for (const std::string& path : targets) {
            RecordTarget target = planRecordTarget(path, searchPath ? searchPath : "");
            if (!target.ok()) {
                std::cout << target.error << std::endl;
                return 1;
            }
        }
    }

    Application application(std::move(commandLine), std::move(script));
    try {
        application.start();
        return application.run();
    } catch (const std::exception& e) {
        // The failing step has printed its diagnostic; release what exists and end with a failure status.
        std::cout << "Kestrune stopped: " << e.what() << std::endl;
        try {
            application.shutdown();
        } catch (...) {
        }
        return 1;
    }
}
