#include "framework/TextLookup.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace tolvar {
namespace {

// Sets the language variables for one test and restores them afterwards.
class Language : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* var : kVars) {
            const char* v = std::getenv(var);
            saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
            unsetenv(var);
        }
        std::setlocale(LC_ALL, "C");
    }
    void TearDown() override {
        for (std::size_t i = 0; i < std::size(kVars); ++i) {
            if (saved_[i])
                setenv(kVars[i], saved_[i]->c_str(), 1);
            else
                unsetenv(kVars[i]);
        }
        std::setlocale(LC_ALL, "C");
        ResetTextLookup();
    }
    static void Use(const char* var, const char* value) {
        setenv(var, value, 1);
        ResetTextLookup();
    }

    static constexpr const char* kVars[] = {"LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"};
    std::vector<std::optional<std::string>> saved_;
};

TEST(CatalogueLanguages, FullCodeThenTwoLetterCode) {
    using V = std::vector<std::string>;
    EXPECT_EQ(CatalogueLanguages("pl_PL.UTF-8"), (V{"pl_PL", "pl"}));
    EXPECT_EQ(CatalogueLanguages("pl_PL.UTF-8@euro"), (V{"pl_PL", "pl"}));
    EXPECT_EQ(CatalogueLanguages("de_DE@euro"), (V{"de_DE", "de"}));
    EXPECT_EQ(CatalogueLanguages("pl"), (V{"pl"}));
    EXPECT_EQ(CatalogueLanguages("C"), V{});
    EXPECT_EQ(CatalogueLanguages("C.UTF-8"), V{});
    EXPECT_EQ(CatalogueLanguages("POSIX"), V{});
    EXPECT_EQ(CatalogueLanguages(""), V{});
    // The code becomes a path: nothing that could leave the catalogue folder.
    EXPECT_EQ(CatalogueLanguages("../../etc"), V{});
    EXPECT_EQ(CatalogueLanguages("pl/PL"), V{});
}

TEST_F(Language, UninstalledLocaleStillGetsItsCatalogueInUtf8) {
    // The global locale stays the plain "C" one, with ASCII as its character set.
    Use("LANG", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Błąd rejestru (xx_XX)");
    // Not in the full-code catalogue: the two-letter one has it.
    EXPECT_EQ(TranslateText("default", "Unable to open com port"), "Nie można otworzyć portu");
    EXPECT_EQ(TranslateText("default", "No such text"), "No such text");
}

TEST_F(Language, TwoLetterCatalogueWhenTheFullCodeHasNone) {
    Use("LANG", "xx_YY");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Błąd rejestru (xx)");
}

TEST_F(Language, LangDecidesOverTheOtherVariables) {
    setenv("LANGUAGE", "de", 1);
    setenv("LC_ALL", "fr_FR.UTF-8", 1);
    Use("LANG", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Błąd rejestru (xx_XX)");
    Use("LANG", "C");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Registry error");
}

TEST_F(Language, WithoutLangTheUserLocaleNamesTheLanguage) {
    Use("LC_ALL", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Błąd rejestru (xx_XX)");
}

TEST_F(Language, UnderAUtf8GlobalLocaleToo) {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    Use("LANG", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Błąd rejestru (xx_XX)");
}

TEST_F(Language, NoCatalogueMeansTheTextAsGiven) {
    Use("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Registry error");
    EXPECT_EQ(TranslateResourceText("Confirm"), "Confirm");
    // Texts are UTF-8 in and out.
    EXPECT_EQ(TranslateText("default", "Zakończ"), "Zakończ");
}

TEST_F(Language, EmptyTextIsNotTheCatalogueHeader) {
    Use("LANG", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateText("default", ""), "");
    EXPECT_EQ(TranslateResourceText(""), "");
}

TEST_F(Language, ResourceTextsSearchDefaultThenTheAddedDomains) {
    Use("LANG", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateResourceText("Error reading %s%s%s: %s"), "Błąd odczytu %s%s%s: %s");
    AddResourceTextDomain("cport");
    AddResourceTextDomain("cport");
    EXPECT_EQ(TranslateResourceText("Confirm"), "Potwierdź");
    EXPECT_EQ(TranslateResourceText("&Yes"), "&Tak (default)");
    EXPECT_EQ(TranslateText("cport", "&Yes"), "&Tak (cport)");
    EXPECT_EQ(TranslateResourceText("&No"), "&No");
}

} // namespace
} // namespace tolvar
