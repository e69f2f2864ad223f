// The port selector on real controls: the machine's serial devices follow "COM1".."COM20", each
// port once, are listed afresh whenever the list drops down, and open the path they name; the
// port in use is always shown; neither selector can be typed into.

#include <fstream>
#include <iterator>

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
  void DropDown() { SendMessageW(Ports(), CB_SHOWDROPDOWN, TRUE, 0); }
  void CloseUp() { SendMessageW(Ports(), CB_SHOWDROPDOWN, FALSE, 0); }

  const SerialDeviceInfo com1_{"\\\\.\\COM1", "", "", "", ""};
  const SerialDeviceInfo com21_{"\\\\.\\COM21", "", "", "", ""};
  const SerialDeviceInfo cnca0_{"\\\\.\\CNCA0", "", "", "", ""};
};

TEST_F(PortSelectorTest, SerialDevicesFollowTheComItemsOnceEachAndOpenTheirPaths) {
  devices_ = {com1_, com21_};
  MakeForm();
  // "\\.\COM1" is the item "COM1": listed once.
  ASSERT_EQ(SendMessageW(Ports(), CB_GETCOUNT, 0, 0), 21);
  EXPECT_EQ(ItemText(19), L"COM20");
  EXPECT_EQ(DeviceItems(), (std::vector<std::wstring>{L"\\\\.\\COM21"}));

  Pick(20);
  EXPECT_EQ(form_->controller().PortPath(), "\\\\.\\COM21");
  EXPECT_TRUE(form_->controller().PortOpen());
  EXPECT_EQ(form_->StatusBar1().PanelText(1), L"COM21");
  Pick(3);  // the COM items still open by their index
  EXPECT_EQ(form_->controller().PortPath(), "\\\\.\\COM4");
  Pick(20);
  SendMessageW(form_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(form_->Handle()));
  EXPECT_EQ(ReadSettings(SettingsPath()).PortPath, "\\\\.\\COM21");
  EXPECT_EQ(ReadSettings(SettingsPath()).Com, 20);

  // Started again, the selector shows that port, present or not: an item of its own, whole.
  for (const bool present : {true, false}) {
    if (!present) devices_.clear();
    MakeForm();
    EXPECT_EQ(form_->ComboBox2().ItemIndex(), 20);
    EXPECT_EQ(Text(), L"\\\\.\\COM21");
    EXPECT_EQ(form_->ComboBox2().SelectedText(), L"\\\\.\\COM21");
  }
}

// A path of the settings file that is no COM item is an item of its own; a COM name in either
// spelling is the COM item, and a TYPE that names no type selects none.
TEST_F(PortSelectorTest, TheSettingsPortIsShownAsItIs) {
  const struct {
    const char* port;
    const char* type;
    int item;
    std::wstring text;
    int typeItem;
  } cases[] = {
      {"\\\\.\\CNCA0", "1", 20, L"\\\\.\\CNCA0", 1},
      {"COM7", "-1", 6, L"COM7", -1},
      {"\\\\.\\COM9", "Eco", 8, L"COM9", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    const std::string ini = std::string("[COM PORT SETTING]\r\nPORT=") + c.port +
                            "\r\n[INDEX]\r\nCOM=0\r\nTYPE=" + c.type + "\r\n";
    std::ofstream(PathFromUtf8(SettingsPath()), std::ios::binary) << ini;
    MakeForm();
    EXPECT_EQ(form_->ComboBox2().ItemIndex(), c.item);
    EXPECT_EQ(Text(), c.text);
    EXPECT_EQ(form_->ComboBox1().ItemIndex(), c.typeItem);
    SendMessageW(form_->Handle(), WM_CLOSE, 0, 0);
    const Settings saved = ReadSettings(SettingsPath());
    EXPECT_EQ(saved.Com, c.item);
    EXPECT_EQ(saved.PortPath, c.port);
    std::ifstream in(PathFromUtf8(SettingsPath()), std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(written.find(std::string("TYPE=") + (c.typeItem < 0 ? c.type : "1")),
              std::string::npos);
  }
}

// Both selectors are lists: characters typed pick an item or nothing, never a text of their own
// (typed text used to open "\\.\COM0" and save COM=-1, TYPE=-1).
TEST_F(PortSelectorTest, TheSelectorsCannotBeTypedInto) {
  for (SelectorBox* box : {&form_->ComboBox1(), &form_->ComboBox2()}) {
    EXPECT_EQ(GetWindowLongW(box->Handle(), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(FindWindowExW(box->Handle(), nullptr, L"Edit", nullptr), nullptr);
    const int before = box->ItemIndex();
    for (const wchar_t c : std::wstring(L"2x\\")) SendMessageW(box->Handle(), WM_CHAR, c, 0);
    EXPECT_EQ(box->ItemIndex(), before);
  }
  EXPECT_EQ(form_->controller().PortPath(), "\\\\.\\COM3");
}

TEST_F(PortSelectorTest, DroppingTheListDownListsTheDevicesAfresh) {
  const struct {
    const char* name;
    std::vector<SerialDeviceInfo> before;
    int picked;
    std::vector<SerialDeviceInfo> after;
    std::vector<std::wstring> items;  // after "COM20"
    int itemIndex;
    std::wstring text;
  } cases[] = {
      // The port in use stays shown, an item of its own.
      {"selected device unplugged",
       {com21_, cnca0_},
       20,
       {cnca0_},
       {L"\\\\.\\CNCA0", L"\\\\.\\COM21"},
       21,
       L"\\\\.\\COM21"},
      {"another device plugged in before it",
       {com21_},
       20,
       {cnca0_, com21_},
       {L"\\\\.\\CNCA0", L"\\\\.\\COM21"},
       21,
       L"\\\\.\\COM21"},
      {"a COM item stays", {com21_}, 4, {}, {}, 4, L"COM5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    devices_ = c.before;
    MakeForm();
    Pick(c.picked);
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
