#include "TempFolder.h"

#include <cstdio>
#include <cstdlib>
#include <ftw.h>

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

// Not JUCE's deleteRecursively: it makes every name into a juce::String, and some tests leave names
// that are not UTF-8, which JUCE copies past the end of the room it makes for them.
TempFolder::~TempFolder()
{
    const auto remove = [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); };
    nftw(m_folder.getFullPathName().toRawUTF8(), remove, 16, FTW_DEPTH | FTW_PHYS);
}
