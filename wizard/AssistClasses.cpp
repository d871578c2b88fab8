// The stored classes of the wizard frame and its pages.

#include "framework/FormReader.h"
#include "wizard/Assist.h"

namespace tolvar {

void RegisterWizardClasses(TClassRegistry& registry) {
    registry.Register("TLMDAssist", "TControl", ControlFactory<TLMDAssist>())
        .Ref("ActivePage", &TLMDAssist::SetActivePage)
        .Property("CustomStrings",
                  [](TComponent& c, const TStoredValue& v) {
                      TClassInfo::As<TLMDAssist>(c).SetCustomStrings(
                          v.isList ? v.items : std::vector<std::string>{});
                  })
        .Property(
            "Buttons",
            [](TComponent& c, const TStoredValue& v) {
                TLMDAssistButtons set;
                for (const std::string& n : ParseSetNames(v))
                    set.Include(static_cast<TLMDAssistButton>(ParseEnumName(
                        n, {{"abCustom", abCustom}, {"abHelp", abHelp}, {"abCancel", abCancel}})));
                TClassInfo::As<TLMDAssist>(c).SetButtons(set);
            })
        .Int("BtnWidth", &TLMDAssist::SetBtnWidth, 0, kMaxCoord)
        .Int("BtnHeight", &TLMDAssist::SetBtnHeight, 0, kMaxCoord)
        .Int("BtnMargin", &TLMDAssist::SetBtnMargin, 0, kMaxCoord)
        .Int("BtnGap", &TLMDAssist::SetBtnGap, 0, kMaxCoord)
        .Int("LineMargin", &TLMDAssist::SetLineMargin, 0, kMaxCoord)
        .Bool("ShowLine", &TLMDAssist::SetShowLine)
        .Bool("CtlXP", &TLMDAssist::SetCtlXP)
        .EventMember("OnChanging", &TLMDAssist::OnChanging)
        .EventMember("OnChange", &TLMDAssist::OnChange)
        .EventMember("OnCancelClick", &TLMDAssist::OnCancelClick)
        .EventMember("OnCompleted", &TLMDAssist::OnCompleted)
        .EventMember("OnCustomClick", &TLMDAssist::OnCustomClick);

    registry.Register("TLMDAssistPage", "TControl", ControlFactory<TLMDAssistPage>())
        .Bool("Included", &TLMDAssistPage::SetIncluded)
        .Int("HelpContext", &TLMDAssistPage::SetHelpContext)
        .EventMember("OnCompleted", &TLMDAssistPage::OnCompleted)
        .EventMember("OnNextPage", &TLMDAssistPage::OnNextPage)
        .EventMember("OnPrevPage", &TLMDAssistPage::OnPrevPage)
        .EventMember("OnBeforeShowPage", &TLMDAssistPage::OnBeforeShowPage)
        .EventMember("OnAfterShowPage", &TLMDAssistPage::OnAfterShowPage);
}

} // namespace tolvar
