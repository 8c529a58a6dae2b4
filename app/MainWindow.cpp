#include "MainWindow.h"

#include "MainComponent.h"

namespace
{
const juce::Colour kBackground(0xFFEAEAEA);
constexpr int kContentWidth = 404;
constexpr int kContentHeight = 126;
} // namespace

MainWindow::MainWindow()
    : juce::DocumentWindow("QEL-720 update program", kBackground, 0, true),
      m_pMainComponent(new MainComponent())
{
    m_pMainComponent->setSize(kContentWidth, kContentHeight);
    setContentOwned(m_pMainComponent, true);
    setResizable(false, false);

    // The outer size is taken while the window still draws its own title bar.
    const int width = m_pMainComponent->getWidth();
    const int height = m_pMainComponent->getHeight();
    centreWithSize(width + 2, height + getTitleBarHeight() + 2);
    m_placedSize = getLocalBounds();

    setAlwaysOnTop(true);
    setUsingNativeTitleBar(true);
    pinNativeSize(); // before the window manager first looks, when the window is shown
    juce::Desktop::getInstance().addFocusChangeListener(this);
    setVisible(true);
}

MainWindow::~MainWindow()
{
    juce::Desktop::getInstance().removeFocusChangeListener(this);
    releaseNativeSize();
}

// JUCE hands the keyboard focus to the window itself when it learns that the window has become
// the system's focus window and knows of no child that had the focus before. It may learn that
// late, taking the focus from the button a key was meant for just before it handles that key: on
// X11 its event loop wakes only when data arrives on the display connection, and the focus event
// often arrives while JUCE waits for a reply (the button taking the focus in the first paint asks
// the server whether the window has it), then waits in Xlib's queue until the next key comes. The
// focus goes back to the child that had it at once, before the key is handled.
void MainWindow::focusGained(FocusChangeType)
{
    if (hasKeyboardFocus(false) && m_pLastFocusedChild != nullptr && m_pLastFocusedChild->isShowing())
        m_pLastFocusedChild->grabKeyboardFocus();
}

void MainWindow::globalFocusChanged(juce::Component* focused)
{
    if (focused != nullptr && focused != this && isParentOf(focused))
        m_pLastFocusedChild = focused;
}

void MainWindow::closeButtonPressed() { m_pMainComponent->QuitSequence(); }
