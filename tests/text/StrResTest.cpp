#include "Table.h"
#include "TableTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace
{
using TableTexts::fromU32;
const juce::String& text(int strId, int lang) { return TableTexts::entry(strId, lang); }

// The conversions of a template, in order, e.g. {"%s", "%02s"}.
std::vector<juce::String> conversions(const juce::String& templ)
{
    std::vector<juce::String> found;
    for (int i = templ.indexOfChar('%'); i >= 0; i = templ.indexOfChar(i + 1, '%'))
    {
        const int end = templ.indexOfChar(i, 's');
        found.push_back(end < 0 ? templ.substring(i) : templ.substring(i, end + 1));
    }
    return found;
}

bool hasTemplate(int strId) { return strId >= 11 && strId <= 17 && strId != 16; }
} // namespace

TEST(TextTables, LanguageCodesAreInLanguageOrderAndNoneIsAPrefixOfAnother)
{
    const char* expected[] = { "en", "fr", "de", "es", "it", "nl", "ru", "pt", "zh-Hans", "zh-Hant", "ko", "ja" };
    for (int k = 0; k < LANG_MAX; ++k)
        EXPECT_EQ(plangList[k], juce::String(expected[k])) << k;
    for (int a = 0; a < LANG_MAX; ++a)
        for (int b = 0; b < LANG_MAX; ++b)
            if (a != b)
            {
                EXPECT_FALSE(plangList[a].startsWithIgnoreCase(plangList[b])) << a << " " << b;
            }
}

TEST(TextTables, DisplayNamesAndFontsAreThoseOfEachLanguage)
{
    const char32_t* names[] = { U"English", U"Français",  U"Deutsch",  U"Español",  U"Italiano", U"Nederlands",
                                U"Русский", U"Português", U"简体中文", U"繁體中文", U"한국어",   U"日本語" };
    const char* mac[] = { "Verdana",
                          "Verdana",
                          "Verdana",
                          "Verdana",
                          "Verdana",
                          "Verdana",
                          "Helvetica Neue",
                          "Verdana",
                          "Heiti SC",
                          "Heiti TC",
                          "Apple SD Gothic Neo",
                          "Hiragino Sans W5" };
    const char* win[] = { "Verdana", "Verdana", "Verdana", "Verdana", "Verdana", "Verdana",
                          "Verdana", "Verdana", "SimHei",  "SimHei",  "Batang",  "MS PGothic" };
    for (int k = 0; k < LANG_MAX; ++k)
    {
        EXPECT_EQ(StrRes::LANGUAGE_SELECTION[k], fromU32(names[k])) << k;
        EXPECT_EQ(StrRes::DEFAULT_FONT_MAC[k], juce::String(mac[k])) << k;
        EXPECT_EQ(StrRes::DEFAULT_FONT_WIN[k], juce::String(win[k])) << k;
        // Precomposed letters only: a combining accent would render apart from its letter.
        for (auto p = StrRes::LANGUAGE_SELECTION[k].getCharPointer(); !p.isEmpty(); ++p)
            EXPECT_FALSE(*p >= 0x300 && *p <= 0x36F) << k;
    }
}

TEST(TextTables, OnlyNullStrIsEmptyAndNamesAreNeverTranslated)
{
    for (int k = 0; k < LANG_MAX; ++k)
    {
        EXPECT_TRUE(StrRes::NULL_STR[k].isEmpty()) << k;
        EXPECT_EQ(StrRes::NAME_000[k], "QEL") << k;
        EXPECT_EQ(StrRes::NAME_001[k], "QEL-720") << k;
        for (int id = STRID_NAME_000; id < STRID_MAX; ++id)
            EXPECT_TRUE(text(id, k).isNotEmpty()) << "id " << id << " language " << k;
    }
}

// The version templates (ids 13, 14) are checked whole below. Korean and Japanese sentences
// begin with the model name.
TEST(TextTables, ConversionsOfEveryTemplateMatchEnglishInEveryLanguage)
{
    const std::vector<juce::String> one{ "%s" };
    for (int k = 0; k < LANG_MAX; ++k)
    {
        for (int id : { 11, 12, 15 })
        {
            EXPECT_EQ(conversions(text(id, k)), one) << "id " << id << " language " << k;
            if (k == LANG_KO || k == LANG_JA)
            {
                EXPECT_TRUE(text(id, k).startsWith("%s")) << "id " << id << " language " << k;
            }
        }
        const bool namesModel = (k != LANG_PT && k != LANG_KO);
        EXPECT_EQ(conversions(text(17, k)), namesModel ? one : std::vector<juce::String>{}) << "language " << k;
        for (int id = 0; id < STRID_MAX; ++id)
            if (!hasTemplate(id))
            {
                EXPECT_FALSE(text(id, k).containsChar('%')) << "id " << id << " language " << k;
            }
    }
}

TEST(TextTables, VersionTemplatesAreExactlyTheGivenOnes)
{
    const char32_t* current[] = { U"Current Version: Ver. %s.%02s",
                                  U"Version actuelle: Ver. %s.%02s",
                                  U"Gegenwärtige Version: Ver. %s.%02s",
                                  U"Versión actual: Ver. %s.%02s",
                                  U"Versione attualmente installata: %s.%02s",
                                  U"Huidige versie: Ver. %s.%02s",
                                  U"Настоящая версия: Версия %s.%02s",
                                  U"Versão actual: Ver. %s.%02s",
                                  U"当前版本: Ver. %s.%02s",
                                  U"目前版本: %s.%02s版",
                                  U"현재 버전: Ver. %s.%02s",
                                  U"現在のバージョン: Ver%s.%02s" };
    const char32_t* update[] = { U"Update Version: Ver. %s.%02s",
                                 U"Version de mise à jour: Ver. %s.%02s",
                                 U"Aktualisierte Version: Ver. %s.%02s",
                                 U"Versión de actualización: Ver. %s.%02s",
                                 U"Versione aggiornata: %s.%02s",
                                 U"Versie na de update: Ver. %s.%02s",
                                 U"Обновленная версия: Версия %s.%02s",
                                 U"Actualizar versão: Ver. %s.%02s",
                                 U"升级版本: Ver. %s.%02s",
                                 U"更新版本: %s.%02s版",
                                 U"업데이트 버전: Ver. %s.%02s",
                                 U"更新バージョン: Ver%s.%02s" };
    for (int k = 0; k < LANG_MAX; ++k)
    {
        EXPECT_EQ(StrRes::STR_0010[k], fromU32(current[k])) << k;
        EXPECT_EQ(StrRes::STR_0011[k], fromU32(update[k])) << k;
    }
}

// Texts may coincide between languages only where listed here ("OK" in any language).
TEST(TextTables, TranslationsDifferFromLanguageToLanguageExceptTheGivenSharedCaptions)
{
    // The Russian "OK" is two Cyrillic letters, not Latin ones.
    const char32_t* ok[] = { U"OK",           U"OK", U"OK",   U"Aceptar", U"OK", U"Akkoord",
                             U"\u041E\u041A", U"OK", U"确定", U"確定",    U"OK", U"OK" };
    for (int k = 0; k < LANG_MAX; ++k)
        EXPECT_EQ(StrRes::STR_0001[k], fromU32(ok[k])) << k;

    const struct
    {
        int id, lang;
        const char32_t* text;
    } fixed[] = {
        { STRID_STR_0002, LANG_EN, U"Start" },
        { STRID_STR_0002, LANG_DE, U"Start" },
        { STRID_STR_0002, LANG_IT, U"Start" },
        { STRID_STR_0002, LANG_ES, U"Iniciar" },
        { STRID_STR_0002, LANG_PT, U"Iniciar" },
        { STRID_STR_0002, LANG_ZH_HANT, U"開始" },
        { STRID_STR_0002, LANG_JA, U"開始" },
        { STRID_STR_0003, LANG_ES, U"Cancelar" },
        { STRID_STR_0003, LANG_PT, U"Cancelar" },
        { STRID_STR_0003, LANG_ZH_HANS, U"取消" },
        { STRID_STR_0003, LANG_ZH_HANT, U"取消" },
        { STRID_STR_0014, LANG_PT, U"A versão foi actualizada." },
        { STRID_STR_0014, LANG_KO, U"버전 업데이트 되었습니다." },
    };
    auto listed = [&](int id, int k)
    {
        return id == STRID_STR_0001 || std::any_of(std::begin(fixed), std::end(fixed),
                                                   [&](const auto& c) { return c.id == id && c.lang == k; });
    };
    for (const auto& c : fixed)
        EXPECT_EQ(text(c.id, c.lang), fromU32(c.text)) << "id " << c.id << " language " << c.lang;
    for (int id = STRID_STR_0000; id < STRID_MAX; ++id)
        for (int a = 0; a < LANG_MAX; ++a)
            for (int b = a + 1; b < LANG_MAX; ++b)
                if (!listed(id, a) || !listed(id, b))
                {
                    EXPECT_NE(text(id, a), text(id, b)) << "id " << id << " languages " << a << ", " << b;
                }
}

TEST(TextTables, ChineseAndJapaneseSentencesEndWithTheIdeographicFullStop)
{
    for (int id = STRID_STR_0000; id < STRID_MAX; ++id)
    {
        if (!text(id, LANG_EN).endsWithChar('.'))
            continue;
        for (int k = 0; k < LANG_MAX; ++k)
        {
            const bool ideographic = (k == LANG_ZH_HANS || k == LANG_ZH_HANT || k == LANG_JA);
            EXPECT_EQ(text(id, k).getLastCharacter(), ideographic ? (juce::juce_wchar)0x3002 : '.')
                << "id " << id << " language " << k;
        }
    }
}

TEST(TextTables, LongestTextsAreTheItalianWaitAndTheRussianCompletion)
{
    int longestChars = 0, longestBytes = 0;
    for (int id = 0; id < STRID_MAX; ++id)
        for (int k = 0; k < LANG_MAX; ++k)
        {
            longestChars = std::max(longestChars, text(id, k).length());
            longestBytes = std::max(longestBytes, (int)text(id, k).getNumBytesAsUTF8());
        }
    EXPECT_EQ(StrRes::STR_0013[LANG_IT].length(), longestChars);
    EXPECT_EQ(longestChars, 92);
    EXPECT_EQ((int)StrRes::STR_0014[LANG_RU].getNumBytesAsUTF8(), longestBytes);
    EXPECT_EQ(longestBytes, 140);
}
