#include "framework/TextLookup.h"

#include "framework/MoFile.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

extern char** environ;

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
        InitTextLookup();
    }
    static void Use(const char* var, const char* value) {
        setenv(var, value, 1);
        InitTextLookup();
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
    EXPECT_EQ(TranslateText("default", "No such text"), "No such text");
}

// The two-letter file stands in for a missing full-code file, never for a missing message.
TEST_F(Language, TwoLetterCatalogueOnlyWhenTheFullCodeHasNoFile) {
    Use("LANG", "xx_YY");
    EXPECT_EQ(TranslateText("default", "Registry error"), "Błąd rejestru (xx)");
    EXPECT_EQ(TranslateText("default", "Unable to open com port"), "Nie można otworzyć portu");

    // xx_XX has its own "default" file, without this text; "cport" it has not.
    Use("LANG", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateText("default", "Unable to open com port"), "Unable to open com port");
    EXPECT_EQ(TranslateText("cport", "Confirm"), "Potwierdź");
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

std::vector<std::string> Environment() {
    std::vector<std::string> out;
    for (char** e = environ; *e != nullptr; ++e)
        out.emplace_back(*e);
    return out;
}

// Programs that we start inherit the environment: the lookup reads it and leaves it alone,
// whichever thread looks texts up.
TEST_F(Language, EnvironmentStaysAsTheUserHadIt) {
    setenv("LANG", "xx_XX.UTF-8", 1);
    const auto before = Environment();
    InitTextLookup();
    EXPECT_EQ(TranslateText("default", "Registry error"), "Błąd rejestru (xx_XX)");
    EXPECT_EQ(TranslateResourceText("&Yes"), "&Yes");
    EXPECT_EQ(Environment(), before);

    std::string fromThread;
    std::thread worker([&] { fromThread = TranslateText("cport", "&Yes"); });
    worker.join();
    EXPECT_EQ(fromThread, "&Tak (cport)");
    EXPECT_EQ(Environment(), before);
    EXPECT_EQ(std::getenv("LANGUAGE"), nullptr);
}

TEST_F(Language, EmptyTextIsNotTheCatalogueHeader) {
    Use("LANG", "xx_XX.UTF-8");
    EXPECT_EQ(TranslateText("default", ""), "");
    EXPECT_EQ(TranslateResourceText(""), "");
}

TEST_F(Language, ResourceTextsSearchDefaultThenTheAddedDomains) {
    Use("LANG", "xx_YY.UTF-8");
    EXPECT_EQ(TranslateResourceText("Error reading %s%s%s: %s"), "Błąd odczytu %s%s%s: %s");
    AddResourceTextDomain("cport");
    AddResourceTextDomain("cport");
    EXPECT_EQ(TranslateResourceText("Confirm"), "Potwierdź");
    EXPECT_EQ(TranslateResourceText("&Yes"), "&Tak (default)");
    EXPECT_EQ(TranslateText("cport", "&Yes"), "&Tak (cport)");
    EXPECT_EQ(TranslateResourceText("&No"), "&No");
}

// A compiled catalogue of the given entries (the header first when given), in either byte order.
std::string Mo(const std::vector<std::pair<std::string, std::string>>& entries,
               bool bigEndian = false) {
    std::string out;
    auto word = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(v >> (bigEndian ? 24 - 8 * i : 8 * i));
    };
    const auto n = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * n;
    std::uint32_t at = translations + 8 * n;
    for (auto v : {0x950412DEu, 0u, n, originals, translations, 0u, 0u})
        word(v);
    std::string strings;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [original, translation] : entries) {
            const std::string& text = pass == 0 ? original : translation;
            word(static_cast<std::uint32_t>(text.size()));
            word(at);
            at += static_cast<std::uint32_t>(text.size()) + 1;
            strings += text + '\0';
        }
    }
    return out + strings;
}

TEST(MoFile, ReadsEitherByteOrderAndRefusesWhatIsNotACatalogue) {
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"", "Content-Type: text/plain; charset=UTF-8\n"},
        {"Confirm", "Potwierdź"},
        {std::string("file\0files", 10), std::string("plik\0pliki", 10)},
        {"Untranslated", ""}};
    for (bool big : {false, true}) {
        const auto messages = ParseMoFile(Mo(entries, big));
        ASSERT_TRUE(messages) << big;
        EXPECT_EQ(*messages, (MoMessages{{"Confirm", "Potwierdź"}, {"file", "plik"}}));
    }

    std::string mo = Mo(entries);
    EXPECT_FALSE(ParseMoFile(mo.substr(0, mo.size() - 1))) << "last string without its NUL";
    EXPECT_FALSE(ParseMoFile(mo.substr(0, 40))) << "tables cut short";
    std::string unterminated = mo;
    unterminated[unterminated.find(std::string("Confirm\0", 8)) + 7] = 'X';
    EXPECT_FALSE(ParseMoFile(unterminated)) << "a string must end where its length says";
    std::string badMagic = mo;
    badMagic[0] = 0;
    EXPECT_FALSE(ParseMoFile(badMagic));
    std::string newRevision = mo;
    newRevision[6] = 2;
    EXPECT_FALSE(ParseMoFile(newRevision));
    std::string farOffset = mo;
    farOffset[28 + 8 + 4 + 3] = 0x7F; // the second original's offset
    EXPECT_FALSE(ParseMoFile(farOffset));
    EXPECT_FALSE(ParseMoFile(Mo({{"", "Content-Type: text/plain; charset=ISO-8859-2\n"}})));
    EXPECT_TRUE(ParseMoFile(Mo({{"", "Content-Type: text/plain; charset=utf-8\n"}})));
    EXPECT_FALSE(LoadMoFile("/nonexistent/default.mo"));
}

} // namespace
} // namespace tolvar
