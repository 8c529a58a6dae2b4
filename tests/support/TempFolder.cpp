#include "TempFolder.h"

#include <cstdlib>

TempFolder::TempFolder()
{
    auto pattern = juce::File::getSpecialLocation(juce::File::tempDirectory)
                       .getChildFile("qel720-XXXXXX")
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
