#include "Updater.h"

#include "Process.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
    while (!done())
    {
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;
        juce::Thread::sleep(20);
    }
    return true;
}

Updater::Updater(XServer& server, const std::string& lang)
    : m_server(server),
      m_folder(juce::File(QEL_E2E_WORK_DIR)),
      m_executable(m_folder.child("qel720-updater"))
{
    const juce::File program(QEL_UPDATER_PATH);
    if (link(program.getFullPathName().toRawUTF8(), m_executable.getFullPathName().toRawUTF8()) != 0)
        program.copyFileTo(m_executable);
    chmod(m_runtime.file().getFullPathName().toRawUTF8(), 0700);
    m_environment =
        Process::environmentWithout({ "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "DISPLAY", "XDG_RUNTIME_DIR" });
    m_environment.push_back("LANG=" + lang);
    m_environment.push_back("DISPLAY=" + server.name());
    m_environment.push_back("XDG_RUNTIME_DIR=" + m_runtime.file().getFullPathName().toStdString());
}

Updater::~Updater()
{
    if (m_pid > 0)
        Process::waitForExit(m_pid, 0);
    if (!m_renamedFolder.empty())
        ::rename(m_renamedFolder.c_str(), m_folder.file().getFullPathName().toRawUTF8()); // for its removal
}

void Updater::renameFolder(const std::string& name)
{
    const auto path = m_folder.file().getParentDirectory().getFullPathName().toStdString() + "/" + name;
    if (::rename(m_folder.file().getFullPathName().toRawUTF8(), path.c_str()) == 0)
        m_renamedFolder = path;
}

pid_t Updater::launch(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{ m_renamedFolder.empty()
                                       ? m_executable.getFullPathName().toStdString()
                                       : m_renamedFolder + "/" + m_executable.getFileName().toStdString() };
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Process::spawn(argv, m_environment);
}

XServer::Window Updater::start(const std::string& title, const std::vector<std::string>& arguments)
{
    m_pid = launch(arguments);
    m_window = m_server.waitForWindow(title);
    if (m_window != 0 && !m_server.waitForPixel(m_window, kLanguageBox.x, kLanguageBox.y, kGrey, false))
        m_window = 0;
    return m_window;
}

bool Updater::waitForFocusMark()
{
    const int x = kWidth - 120, y = kHeight - 30;
    const juce::Colour face(0xFFC5C5C5); // the button's face halfway down; its focus mark left of it
    return waitUntil(
        [&] { return m_server.pixel(m_window, x + 8, y) == face && m_server.pixel(m_window, x + 5, y) != face; },
        20000);
}

// A key that is taken acts within milliseconds; the bound is for a loaded machine.
bool Updater::pressReturn(const std::function<bool()>& done, int pauseMs)
{
    if (!waitForFocusMark())
        return false;
    juce::Thread::sleep(pauseMs);
    m_server.key("Return");
    return waitUntil(done, 10000);
}

bool Updater::ended()
{
    int status = 0;
    if (m_pid <= 0 || !Process::ended(m_pid, status))
        return false;
    m_pid = -1;
    m_status = status;
    return true;
}

int Updater::exitStatus(int timeoutMs)
{
    if (m_pid > 0)
        m_status = Process::waitForExit(m_pid, timeoutMs);
    m_pid = -1;
    return m_status;
}
