#pragma once

#include "UpdateState.h"
#include "UpdateTarget.h"

#include <HidHandler.h>
#include <LangLookAndFeel.h>
#include <Loader.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>

class AlineButton;
class HidCtrl;
class ProgressLookAndFeel;

namespace platform
{
class JuceRunLoopBridge;
}

// The updater in one object: the main window's content with its language box, progress bar and
// two buttons; the update engine with its worker thread "UpdatingThread"; the client of the HID
// link; and the listener of its own widgets.
//
// Threading: everything runs on the message thread except run() and what it calls (the device
// checks, the exchange, the steps of the transfer), which run on the worker. The two threads share
// the state word and the worker's progress (atomics), the reply buffer (m_replyLock, handed over
// with m_responseEvent) and the redraw requests (m_drawLock). The update table, the mask and the
// file's date and version are written on the message thread only before the worker starts; the
// device's date and version are written by the worker only before it sets state 1, and read by the
// screens only in state 1.
//
// Ownership: owns its widgets, the progress look, the HID link and the bridge that serves the HID
// callbacks from JUCE's event loop; the language look lives and dies with it. The main window owns
// the component. The destructor stops a worker that still runs before anything it uses goes.
class MainComponent : public juce::Component,
                      public juce::AsyncUpdater,
                      public juce::Thread,
                      public HidHandler,
                      public juce::ComboBox::Listener,
                      public juce::Button::Listener
{
public:
    MainComponent();
    ~MainComponent() override;

    void paint(juce::Graphics& g) override;
    void resized() override;

    void run() override;
    void comboBoxChanged(juce::ComboBox* comboBox) override;
    void buttonClicked(juce::Button* button) override;
    void handleAsyncUpdate() override;
    void removalCallBack() override;
    void matchingCallBack() override;
    void inputCallBack(int) override;

    // Rebuilds the title, the message and the widgets from the state word. Message thread.
    void UpdateDrawing();
    // The quit steps: wakes and stops the worker, then asks the application to quit.
    void QuitSequence();

    // Finds and checks the update files in m_updateFolder and fills the update table, or leaves
    // the error identifier in the state word. Message thread, before the worker starts.
    void CheckUpdFile();
    // The same for the update files of another folder.
    void CheckUpdFile(const juce::File& folder);

    // Checks one update file: 1 when valid, else 0xE01..0xE05. For the main file the date word
    // goes to *date and the version text to version, both before they are checked; the DSP files
    // (recognised by name) are only checked for their length and leave both untouched.
    static int ParseUpdFile(const juce::File& file, int expectedSize, unsigned int* date, juce::String& version);
    // True for a version text of the form digit, point, digit, digit.
    static bool CheckSysVer(juce::String& version);
    // CRC-16/XMODEM of the first length bytes; 0 for a length of 0 or less.
    static juce::uint16 CalcCRC(const unsigned char* data, long length);

    // Worker thread: sends m_sendBuf and waits for the reply, which it copies to m_reply. False
    // only when no reply came in time; true also when nothing was sent (exit asked, or the device
    // removed). Records 0xE41 for a reply that does not echo byte 0 or is a reject with reason 5.
    bool SendDataAndWaitResponse();
    // Worker thread: the mode query and, for the main file, the version check; marks the entries
    // to send. False with the error in the state word.
    bool CheckDeviceMode();
    bool CheckDeviceVersion();

    // Writes the state word unless it holds 0xE37 (device removed), which nothing replaces.
    // Returns whether the value was written. Any thread.
    bool SetUpdState(juce::int32 value);

    // The folder searched for update files: the one that holds the running executable.
    static juce::File updateFolder();

    // Window side.
    juce::GlyphArrangement m_msgGlyphs;
    LangLookAndFeel m_langLookAndFeel;
    juce::ComboBox* m_pLangs = nullptr;
    ProgressLookAndFeel* m_pProgressLookAndFeel = nullptr;
    // The bar's value: the bar reads it on its timer, so only the message thread writes it (from
    // m_workerProgress, at each redraw).
    double m_progress = 0.0;
    juce::ProgressBar* m_pProgressBar = nullptr;
    AlineButton* m_pOkButton = nullptr;
    AlineButton* m_pCancelButton = nullptr;
    // Held around every triggerAsyncUpdate and around the redraw it leads to.
    juce::CriticalSection m_drawLock;

    // Engine.
    juce::WaitableEvent m_responseEvent{ false };
    UpdateTarget m_updTargets[kUpdateTargetCount];
    juce::int64 m_totalDataSize = 0;
    std::atomic<juce::int32> m_updState{ kStateLanguage };
    juce::int32 m_updMask = 0;
    juce::uint32 m_fileDate = 0;
    juce::uint32 m_deviceDate = 0;
    juce::String m_fileSysVer;
    juce::String m_deviceSysVer;
    juce::uint32 m_blockCheckSum = 0;
    HidCtrl* m_pHidCtrl = nullptr;
    juce::uint8 m_sendBuf[64] = {};
    // The last reply, written by inputCallBack and the quit steps on the message thread.
    juce::uint8 m_recvBuf[64] = {};
    bool m_bOldOS = false;

    // The progress as the worker sees it; copied into m_progress on the message thread.
    std::atomic<double> m_workerProgress{ 0.0 };
    // Guards m_recvBuf; the worker copies the reply out under it once the event has fired.
    juce::CriticalSection m_replyLock;
    // Worker thread only: the reply being judged.
    juce::uint8 m_reply[64] = {};
    // The transfer's position (worker thread only): entry being sent, bytes of it handed to the
    // device, offset of the block being sent, and the pause between two turns of the loop.
    int m_updKind = 0;
    juce::int64 m_alreadySentDataSize = 0;
    juce::int32 m_readOffset = 0;
    int m_loopPauseMs = 1;

    // Where CheckUpdFile() looks: the executable's folder; tests point it elsewhere.
    juce::File m_updateFolder;
    // How long the exchange waits for a reply. 10 s in the program; tests shorten it.
    int m_replyTimeoutMs = 10000;
    // The pause between two status polls. 100 ms in the program; the fuzz target shortens it.
    int m_pollPauseMs = 100;
    // The pause after a removal. 100 ms in the program; the fuzz target shortens it.
    int m_removalPauseMs = 100;

private:
    bool CheckDspFiles(const juce::File& folder);
    void CheckMainFile(const juce::File& candidate);
    static juce::File FindMainFileCandidate(const juce::File& folder);
    static juce::StringArray ListFileNames(const juce::File& folder);
    // Reads at most limit bytes of a regular file from offset into content, which it sizes to
    // what it read. False, without waiting, for a path that is no regular file (a pipe, a device),
    // or one that cannot be opened or read. Any thread.
    static bool ReadRegularFile(const juce::File& file, juce::int64 offset, size_t limit, juce::MemoryBlock& content);

    // The worker's loop: one turn, and the work of each state.
    bool RunOneTurn();
    void DoDeviceChecks();
    void DoPrepare();
    void DoNextBlock();
    void DoDataChunks();
    void DoBlockChecksum();
    void DoStatusPoll();
    void SendFinish();
    bool ReadBlock(const UpdateTarget& target, juce::int64 length, juce::MemoryBlock& block) const;
    // Exchanges m_sendBuf; false (with 0xE36, or the error the reply left) when the step ends here.
    bool Exchange();
    void RequestRedraw();
    // The request of a turn of the worker's loop, left out when it would show nothing new.
    void RequestTurnRedraw();
    void LeaveWorker();

    // User actions.
    void OnOkClicked();
    void StartUpdate();
    void StopWorker();

    // Screens.
    void BuildMessage(juce::int32 state, const juce::String& fontName);
    void AddBlock(const juce::String& text, const juce::String& fontName, int style, juce::Rectangle<float> area);
    float LastGlyphBottom() const;
    juce::Rectangle<float> FollowOnArea(float top) const;
    void LayOutButtons(juce::int32 state);
    void ShowButton(AlineButton& button, StrIdTable_t caption, bool rightPlace);
    void MoveKeyboardFocus(juce::int32 state);

    // What a screen is built from. The worker asks for a redraw at the turns of its loop that find
    // the state word or the progress moved, and as it ends; a request that would build the same
    // screen again leaves it.
    // The version texts are left out: they are set before the state word reaches 1 and stay.
    struct ScreenInputs
    {
        juce::int32 state, mask;
        int lang, width, height;
        bool hasParent;
        bool operator==(const ScreenInputs& other) const;
    };
    ScreenInputs CurrentScreenInputs() const;
    ScreenInputs m_shownScreen{ -1, 0, 0, 0, 0, false }; // none yet

    // While the bar shows, copies the worker's progress into the bar's value on the message thread:
    // a block's chunks go out within one turn of the worker's loop, with no redraw between them.
    struct ProgressFollower : juce::Timer
    {
        explicit ProgressFollower(MainComponent& owner) : m_owner(owner) {}
        void timerCallback() override { m_owner.m_progress = m_owner.m_workerProgress.load(); }
        MainComponent& m_owner;
    };
    ProgressFollower m_progressFollower{ *this };

    // Worker thread only: the state word and progress of the worker's last redraw request.
    juce::int32 m_requestedState = -1;
    double m_requestedProgress = -1.0;

    std::unique_ptr<platform::JuceRunLoopBridge> m_pRunLoopBridge;

    JUCE_DECLARE_NON_COPYABLE(MainComponent)
};
