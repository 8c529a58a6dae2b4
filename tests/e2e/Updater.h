#pragma once

#include "TempFolder.h"
#include "XServer.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// The real program as a user starts it: from a folder of its own that holds its update files (they
// lie beside the executable, which is linked in there), with its own instance folder, its language
// and its X server. What a user does with it: Return on its focused button, a close request.
//
// Threading: the test's thread only. Ownership: a running program is killed when the object goes.
class Updater
{
public:
    static constexpr int kWidth = 406, kHeight = 154; // the outer size the window asks for, all of it content
    static inline const juce::Colour kGrey{ 0xFFEAEAEA };
    static inline const juce::Point<int> kLanguageBox{ 200, 84 }, kProgressBar{ 200, 84 }, kIcon{ 38, 66 };

    explicit Updater(XServer& server, const std::string& lang = "en_US.UTF-8");
    ~Updater();

    juce::File file(const char* name) const { return m_folder.child(name); }
    // Gives the program's folder, with the files written so far, a name of these bytes from the
    // next start on (one that JUCE cannot write files under, if it is not UTF-8).
    void renameFolder(const std::string& name);
    // Starts the program (with those arguments) and waits for its window with that title to show
    // the language screen.
    XServer::Window start(const std::string& title = "Updater Program", const std::vector<std::string>& arguments = {});
    // Starts one more instance of the program; its pid.
    pid_t launch(const std::vector<std::string>& arguments = {}) const;
    // Waits for the button in the right place to show its focus mark.
    bool waitForFocusMark();
    // One Return on that button once it shows its focus mark (after `pauseMs` more, if given);
    // whether `done` then holds within ten seconds.
    bool pressReturn(const std::function<bool()>& done, int pauseMs = 0);
    bool showsGrey(juce::Point<int> at) { return m_server.pixel(m_window, at.x, at.y) == kGrey; }
    bool ended();
    int exitStatus(int timeoutMs = 10000);

private:
    XServer& m_server;
    TempFolder m_folder;
    TempFolder m_runtime;
    juce::File m_executable;
    std::string m_renamedFolder; // the folder's path while renamed, else empty
    std::vector<std::string> m_environment;
    XServer::Window m_window = 0;
    pid_t m_pid = -1;
    int m_status = -1;
};

// Polls `done` every 20 ms; false when it did not hold in time.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 60000);
