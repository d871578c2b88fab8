#include "framework/TextLookup.h"
#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tolvar {
namespace {

// Before anything looks a text up: the language of the test catalogues, whose system locale
// is not installed.
const bool kLanguageSet = [] {
    setenv("LANG", "xx_YY.UTF-8", 1);
    return true;
}();

TEST(EComPortTranslation, TextsAndSuffixComeFromTheCatalogue) {
    ASSERT_TRUE(kLanguageSet);
    const EComPort e(CError_OpenFailed, 2);
    EXPECT_EQ(e.Message(), "Nie można otworzyć portu (kod błędu systemu: 2)");
    EXPECT_EQ(EComPort(CError_RegError).Message(), "Błąd rejestru (xx)");
    // Untranslated texts read as they are.
    EXPECT_EQ(EComPort(CError_ConnChangeProp).Message(), "Cannot set property while connected");
}

TEST(EComPortTranslation, ThePortObjectAddsItsResourceDomain) {
    TComPort port;
    EXPECT_EQ(TranslateResourceText("Confirm"), "Potwierdź");
}

TEST(EComPortTranslation, HostileSuffixIsNotUsedAsAFormat) {
    setenv("LANG", "xx_BAD", 1);
    InitTextLookup();
    EXPECT_EQ(EComPort(CError_ReadFailed, 7).Message(),
              "ReadFile function failed (%s%s%n błąd 7 %d)");
    setenv("LANG", "xx_YY.UTF-8", 1);
    InitTextLookup();
}

} // namespace
} // namespace tolvar
