// The dispenser's page in the host's control application: the device, its port, the
// cassettes, the reject bin and the payout limit, with the service checks.
#pragma once

#include "Plugin/Dispenser/settings.h"
#include "Plugin/Plugin/com/control_plugin_page.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class AutoLayout;
class DSubclassWindow;

namespace Plugin {

class DispenserControlPage : public TVXDK::Standard::ControlPluginPage {
public:
    DispenserControlPage(ITypeInfo* typeInfo, ITallivoxControlSite* site);
    ~DispenserControlPage() override;

protected:
    bool OnAttach(HWND window) override;
    bool OnCommand(int code, int id, HWND control) override;
    bool OnHelp(HWND control) override;
    bool OnApply(bool interactive) override;

private:
    void UpdateControls();
    void MarkModified();
    void CassetteCheck(int number, int checkBox, int setupButton);
    void CassetteSetup(int button);
    void RejectSetup();
    // The operator's values as a settings override; nullopt after the failing field
    // has been reported.
    std::optional<DispenserControl::SettingsOverride> CollectValues();
    void LinkTest();
    void Purge();
    void TestPayout();
    // Names a pass in doubt, and the way out, under the buttons; empty when none.
    void ShowPassInDoubt();

    bool IsChecked(int id) const;
    void Check(int id, bool on);
    std::string Text(int id) const;
    void SetText(int id, const std::string& text);
    void Enable(int id, bool on);
    void Show(int id, bool on);

    bool warned_ = false;  // the no-cassette warning was shown since 601, 606 or 607 last changed
    bool loading_ = false; // Attach is filling the controls: their notifications change nothing
    bool loaded_ = false;  // Attach filled every control: Apply may write what they hold
    std::unique_ptr<AutoLayout> layout_;
    std::unique_ptr<DSubclassWindow> sizeWatch_;
};

} // namespace Plugin
