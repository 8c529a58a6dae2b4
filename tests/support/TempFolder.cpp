#include "TempFolder.h"

#include <cstdlib>

TempFolder::TempFolder(const juce::File& parent)
{
    auto pattern = parent.getChildFile("qel720-XXXXXX")
                       .getFullPathName()
                       .toStdString();
    if (mkdtemp(pattern.data()) == nullptr)
    {
        std::perror("mkdtemp");
        std::abort();
    }
    m_folder = juce::File(pattern);
}

TempFolder::~TempFolder() { m_folder.deleteRecursively(); }
