// The port selector on real controls: the machine's serial devices follow "COM1".."COM20", are
// listed afresh whenever the list drops down, and open the path they name.

#include "window_fixture.h"

namespace kv218::test {
namespace {

class PortSelectorTest : public WindowTest {
 protected:
  HWND Ports() { return form_->ComboBox2().Handle(); }

  std::wstring ItemText(int index) {
    const LRESULT length = SendMessageW(Ports(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return L"(none)";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(Ports(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
  }
  // The items after "COM20".
  std::vector<std::wstring> DeviceItems() {
    std::vector<std::wstring> items;
    const auto count = static_cast<int>(SendMessageW(Ports(), CB_GETCOUNT, 0, 0));
    for (int index = 20; index < count; ++index) items.push_back(ItemText(index));
    return items;
  }
  std::wstring Text() {
    wchar_t text[256] = {};
    GetWindowTextW(Ports(), text, 256);
    return text;
  }
  // Picks the item from the list as the operator does.
  void Pick(int index) {
    SendMessageW(Ports(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(form_->Handle(), WM_COMMAND, MAKEWPARAM(layout::kIdComboBox2, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Ports()));
  }
  void Type(const std::wstring& text) {
    const HWND edit = FindWindowExW(Ports(), nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (const wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
  }
  void DropDown() { SendMessageW(Ports(), CB_SHOWDROPDOWN, TRUE, 0); }
  void CloseUp() { SendMessageW(Ports(), CB_SHOWDROPDOWN, FALSE, 0); }

  const SerialDeviceInfo com1_{"\\\\.\\COM1", "", "", "", ""};
  const SerialDeviceInfo com21_{"\\\\.\\COM21", "", "", "", ""};
  const SerialDeviceInfo cnca0_{"\\\\.\\CNCA0", "", "", "", ""};
};

TEST_F(PortSelectorTest, SerialDevicesFollowTheComItemsAndOpenTheirPaths) {
  devices_ = {com1_, com21_};
  MakeForm();
  ASSERT_EQ(SendMessageW(Ports(), CB_GETCOUNT, 0, 0), 22);
  EXPECT_EQ(ItemText(19), L"COM20");
  EXPECT_EQ(DeviceItems(), (std::vector<std::wstring>{L"\\\\.\\COM1", L"\\\\.\\COM21"}));

  Pick(21);
  EXPECT_EQ(form_->controller().PortPath(), "\\\\.\\COM21");
  EXPECT_TRUE(form_->controller().PortOpen());
  EXPECT_EQ(form_->StatusBar1().PanelText(1), L"COM21");
  Pick(3);  // the COM items still open by their index
  EXPECT_EQ(form_->controller().PortPath(), "\\\\.\\COM4");
  Pick(21);
  SendMessageW(form_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(form_->Handle()));
  EXPECT_EQ(ReadSettings(SettingsPath()).PortPath, "\\\\.\\COM21");
  EXPECT_EQ(ReadSettings(SettingsPath()).Com, 21);

  // Started again with that device present, the selector shows it.
  MakeForm();
  EXPECT_EQ(form_->ComboBox2().ItemIndex(), 21);
  EXPECT_EQ(Text(), L"\\\\.\\COM21");
}

TEST_F(PortSelectorTest, DroppingTheListDownListsTheDevicesAfresh) {
  const struct {
    const char* name;
    std::vector<SerialDeviceInfo> before;
    int picked;  // -1: text typed instead
    std::vector<SerialDeviceInfo> after;
    std::vector<std::wstring> items;  // after "COM20"
    int itemIndex;
    std::wstring text;
  } cases[] = {
      {"selected device unplugged", {com21_, cnca0_}, 20, {cnca0_}, {L"\\\\.\\CNCA0"}, -1, L""},
      {"another device plugged in before it",
       {com21_},
       20,
       {com1_, com21_},
       {L"\\\\.\\COM1", L"\\\\.\\COM21"},
       21,
       L"\\\\.\\COM21"},
      {"a COM item stays", {com21_}, 4, {}, {}, 4, L"COM5"},
      {"typed text stays", {com21_}, -1, {cnca0_}, {L"\\\\.\\CNCA0"}, -1, L"COM7x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    devices_ = c.before;
    MakeForm();
    if (c.picked >= 0) {
      Pick(c.picked);
    } else {
      Type(L"COM7x");
    }
    const int made = portsMade_;
    devices_ = c.after;
    DropDown();
    EXPECT_EQ(DeviceItems(), c.items);
    EXPECT_EQ(form_->ComboBox2().ItemIndex(), c.itemIndex);
    EXPECT_EQ(Text(), c.text);
    EXPECT_EQ(portsMade_, made);  // listing opens nothing
    CloseUp();
  }
}

}  // namespace
}  // namespace kv218::test
