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

    setAlwaysOnTop(true);
    setUsingNativeTitleBar(true);
    setVisible(true);
}

MainWindow::~MainWindow() = default;

void MainWindow::closeButtonPressed() { m_pMainComponent->QuitSequence(); }
