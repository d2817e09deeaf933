#include "strings/StringsHolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace kessaro {
namespace {

// A window of named components, as a front end would present it.
struct FakeComponent : TLanguageComponent {
  FakeComponent(std::string n, TComponentKind k, std::string c = "", std::string h = "")
      : name(std::move(n)), kind(k), caption(std::move(c)), hint(std::move(h)) {}

  FakeComponent& Add(std::string n, TComponentKind k, std::string c = "", std::string h = "") {
    children.push_back(
        std::make_unique<FakeComponent>(std::move(n), k, std::move(c), std::move(h)));
    return *children.back();
  }

  std::string Name() const override { return name; }
  TComponentKind Kind() const override { return kind; }
  std::string Caption() const override { return caption; }
  void SetCaption(const std::string& t) override { caption = t; }
  std::string Hint() const override { return hint; }
  void SetHint(const std::string& t) override { hint = t; }
  std::vector<std::string> Items() const override { return items; }
  void SetItems(const std::vector<std::string>& t) override { items = t; }
  bool HasOwnFont() const override { return ownFont; }
  void SetFont(std::uint8_t c, const std::string& f) override {
    charset = c;
    font = f;
  }
  int ChildCount() const override { return static_cast<int>(children.size()); }
  TLanguageComponent* Child(int i) override { return children[static_cast<std::size_t>(i)].get(); }

  std::string name;
  TComponentKind kind;
  std::string caption, hint;
  std::vector<std::string> items;
  bool ownFont = false;
  std::uint8_t charset = 0;
  std::string font;
  std::vector<std::unique_ptr<FakeComponent>> children;
};

// An options-like window: a button inside a panel, a hinted button, a radio group, a combo box.
std::unique_ptr<FakeComponent> OptionsWindow(const std::string& ok = "OK") {
  auto form = std::make_unique<FakeComponent>("frmOptions", TComponentKind::Form, "Options");
  FakeComponent& panel = form->Add("pnlButtons", TComponentKind::Other);
  panel.Add("btnOK", TComponentKind::Button, ok);
  form->Add("btnChangeBitmap", TComponentKind::Button, "Change Bitmap", "Pick a picture|Long");
  FakeComponent& rg = form->Add("rgNextMove", TComponentKind::RadioGroup, "Next move");
  rg.items = {"Black", "White"};
  FakeComponent& cmb = form->Add("cmbZoom", TComponentKind::ComboBox);
  cmb.items = {"50%", "100%"};
  return form;
}

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (std::string_view l : lines) (out += l) += "\r\n";
  return out;
}

TEST(StringsHolder, WordsOfNames) {
  const struct {
    std::string_view name, words;
  } cases[] = {
      {"ChangeBitmap2", "Change Bitmap 2"}, {"OK", "OK"},
      {"Back10Moves", "Back 10Moves"},      {"PathToFusekiDatabase", "Path To Fuseki Database"},
      {"Some_Name", "Some Name"},           {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NameWords(c.name), c.words) << c.name;

  EXPECT_EQ(NamePrefix("lb20Sec"), "lb");
  EXPECT_EQ(ControlWords(lb20Sec), "20Sec");
  EXPECT_EQ(ControlWords(act90Degrees), "90Degrees");
  EXPECT_EQ(NamePrefix("cmbZoom"), "cmb");
  EXPECT_EQ(NamePrefix("rbtnBitmapFile2"), "rbtn");
  EXPECT_EQ(ControlWords(actSaveInterfaceLanguageStrings), "Save Interface Language Strings");
  EXPECT_EQ(OutputWords(outSpaceTenuki), "Space Tenuki");

  EXPECT_EQ(FindControlID("BTNok"), btnOK);
  EXPECT_EQ(FindControlID("rbtnBitmapFile"), rbtnBitmapFile);
  EXPECT_EQ(FindControlID("rbtnBitmap"), std::nullopt);  // the frames must use the table's names
  EXPECT_EQ(FindControlID(""), std::nullopt);
}

TEST(StringsHolder, StartState) {
  const TStringsHolder s;
  const struct {
    TOutputID id;
    std::string_view text;
  } outputs[] = {
      {errWhileBuildingIndex, "Error while building index"},
      {errCannotOpenRegistry, "Cann't open registry"},
      {outDead, "Dead"},
      {outB, "B"},
      {outW, "W"},
      {outBlack, "Black"},
      {outWhite, "White"},
      {outSpaceTenuki, "Space - tenuki"},
      {outEndOfVar, "End of var."},
      {outNoTenuki, "no tenuki"},
      {outAbout, "About"},
      {outVersion, "Version"},
      {outBuild, "Build"},
      {outTotal, "Total"},
      {outGamesFound, "games found"},
      {outNothing, "Nothing"},
      {outLoading, "Loading"},
      {outSource, "Source"},
      {outUnknown, "Unknown"},
      {outCm, "cm"},
      {outInch, "inch"},
  };
  static_assert(std::size(outputs) == kOutputIDCount);
  for (const auto& o : outputs) {
    EXPECT_EQ(s.Output(o.id), o.text) << OutputName(o.id);
    EXPECT_EQ(s.DefaultOutputs[o.id], o.text);
  }
  EXPECT_EQ(s.Caption(actGamesList), "Games List");
  EXPECT_EQ(s.DefaultCaptions[actGamesList], "Games List");
  EXPECT_EQ(s.Caption(btnOK), "");
  for (const auto& h : s.DefaultHints) EXPECT_EQ(h, "");
  EXPECT_EQ(s.LanguageID, 0);
  EXPECT_EQ(s.LanguageFontName, "MS Sans Serif");
}

TEST(StringsHolder, ConstructionRegistersDefaultsAndTheFirstWindowDecides) {
  TStringsHolder s;
  auto first = OptionsWindow("OK");
  auto second = OptionsWindow("Okay");
  s.ApplyLanguage(*first, true);
  s.ApplyLanguage(*second, true);

  EXPECT_EQ(s.DefaultCaptions[btnOK], "OK");
  EXPECT_EQ(s.DefaultCaptions[frmOptions], "Options");
  EXPECT_EQ(s.DefaultCaptions[btnChangeBitmap], "Change Bitmap");
  EXPECT_EQ(s.DefaultHints[btnChangeBitmap], "Pick a picture|Long");
  EXPECT_EQ(s.DefaultCaptions[rgNextMove], "Next move|Black\r\nWhite");
  EXPECT_EQ(s.DefaultCaptions[cmbZoom], "50%\r\n100%");
  EXPECT_EQ(s.Caption(btnOK), "OK");
  // With no language loaded a window keeps its own texts.
  EXPECT_EQ(second->children[0]->children[0]->caption, "Okay");
  EXPECT_EQ(second->font, "");
}

TEST(StringsHolder, SaveAfterStartRoundTripsByteForByte) {
  TStringsHolder s;
  s.SetGameInfoFieldNames({"", "Charset", "Black Player"});
  auto form = OptionsWindow();
  s.ApplyLanguage(*form, true);
  s.TranslateWord("Komi");

  const std::string saved = s.LanguageFileText();
  EXPECT_EQ(saved.rfind(Lines({"[Language]", R"("ID" = "0")", R"("FONT NAME" = "MS Sans Serif")",
                               "[Button]", R"("OK" = "OK")", R"("Cancel" = "")"}),
                        0),
            0u);
  for (std::string_view expected :
       {R"("Change Bitmap" = "Change Bitmap")"
        "\r\n"
        R"("Change Bitmap Hint" = "Pick a picture|Long")"
        "\r\n"
        R"("Change Color" = "")",
        "[MenuItem]\r\n[Toolbar]\r\n", R"("Next Move" = "Next move|Black\nWhite")",
        R"("Zoom" = "50%\n100%")", R"("Games List" = "Games List")",
        R"("Cannot Open Registry" = "Cann't open registry")", "[Message]\r\n[Output]\r\n",
        "[Game Info Field]\r\n\"Charset\" = \"Charset\"\r\n\"Black Player\" = \"Black Player\"\r\n"
        "[Dictionary]\r\n\"Komi\" = \"\"\r\n"})
    EXPECT_NE(saved.find(expected), std::string::npos) << expected;
  EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n");

  const std::string path = LanguageFilePath();
  ASSERT_TRUE(s.SaveLanguageFile(path));
  const auto captions = s.CurrentCaptions;
  const auto outputs = s.CurrentOutputs;
  ASSERT_TRUE(s.LoadLanguageFile(path));
  EXPECT_EQ(s.CurrentCaptions, captions);
  EXPECT_EQ(s.CurrentOutputs, outputs);
  EXPECT_EQ(s.LanguageFileText(), saved);
}

TEST(StringsHolder, LanguageFileLivesInTheUserHome) {
  EXPECT_EQ(std::filesystem::path(LanguageFilePath()),
            std::filesystem::path(std::getenv("KESSARO_HOME")) / "Test.lng");
}

TEST(StringsHolder, HintKeysAreExact) {
  TStringsHolder s;
  s.LoadLanguageText(Lines({"[Button]", R"("Change Bitmap Hint" = "one")"}));
  EXPECT_EQ(s.Hint(btnChangeBitmap), "one");
  EXPECT_EQ(s.Hint(btnChangeBitmap2), "");
  s.LoadLanguageText(Lines({"[Button]", R"("Change Bitmap 2 Hint" = "two")"}));
  EXPECT_EQ(s.Hint(btnChangeBitmap), "");
  EXPECT_EQ(s.Hint(btnChangeBitmap2), "two");
}

TEST(StringsHolder, LineBreaksQuotesAndBracketsRoundTrip) {
  TStringsHolder s;
  s.CurrentCaptions[btnOK] = "First line\nSecond \"quoted\" line";
  s.CurrentCaptions[btnCancel] = "[Cancel]";
  s.CurrentOutputs[outDead] = "dead [x] = \"y\"";
  const std::string text = s.LanguageFileText();
  EXPECT_NE(text.find(R"("OK" = "First line\nSecond ""quoted"" line")"), std::string::npos);

  TStringsHolder t;
  t.LoadLanguageText(text);
  EXPECT_EQ(t.Caption(btnOK), "First line\r\nSecond \"quoted\" line");
  // A "[" inside a value neither opens a section nor ends the current one.
  EXPECT_EQ(t.Caption(btnCancel), "[Cancel]");
  EXPECT_EQ(t.Caption(btnHelp), "");
  EXPECT_EQ(t.Output(outDead), "dead [x] = \"y\"");
  EXPECT_EQ(t.Output(outB), "B");
}

TEST(StringsHolder, LoadedLanguageLabelsWindows) {
  TStringsHolder s;
  auto form = OptionsWindow();
  form->children[1]->ownFont = true;
  s.RegisterForm(form.get());
  s.ApplyLanguage(*form, true);

  s.LoadLanguageText(Lines({
      "; a translator's note",
      "[Language]",
      R"("ID" = "1049")",
      R"("FONT NAME" = "Arial Cyr")",
      "[Form]",
      R"("Options" = "Settings")",
      "[Button]",
      R"("OK" = "Fine")",
      "[Radio Group]",
      R"("Next Move" = "Next|One\nTwo\nThree")",
      "[Combo Box]",
      R"("Zoom" = "25%\n75%")",
  }));
  EXPECT_EQ(s.LanguageID, 1049);
  EXPECT_EQ(s.LanguageCharset, 204);
  s.ApplyLanguageToAllForms();

  EXPECT_EQ(form->caption, "Settings");
  EXPECT_EQ(form->font, "Arial Cyr");
  EXPECT_EQ(form->charset, 204);
  EXPECT_EQ(form->children[0]->children[0]->caption, "Fine");
  EXPECT_EQ(form->children[1]->font, "Arial Cyr");  // its own font
  EXPECT_EQ(form->children[2]->font, "");           // takes its parent's
  // Texts the file does not give go back to the registered defaults.
  EXPECT_EQ(form->children[1]->caption, "Change Bitmap");
  EXPECT_EQ(form->children[1]->hint, "Pick a picture|Long");
  EXPECT_EQ(form->children[2]->caption, "Next");
  EXPECT_EQ(form->children[2]->items, (std::vector<std::string>{"One", "Two", "Three"}));
  EXPECT_EQ(form->children[3]->items, (std::vector<std::string>{"25%", "75%"}));

  // A window built while the language is loaded labels itself; one that unregistered is left.
  auto later = OptionsWindow();
  s.ApplyLanguage(*later, true);
  EXPECT_EQ(later->children[0]->children[0]->caption, "Fine");
  s.UnregisterForm(form.get());
  s.LoadLanguageText(Lines({"[Language]", R"("ID" = "1049")", "[Button]", R"("OK" = "Good")"}));
  s.ApplyLanguageToAllForms();
  EXPECT_EQ(form->children[0]->children[0]->caption, "Fine");
}

TEST(StringsHolder, TranslateWordCollectsUnknownWords) {
  TStringsHolder s;
  EXPECT_EQ(s.TranslateWord("Komi"), "Komi");
  EXPECT_EQ(s.TranslateWord("Komi"), "Komi");
  EXPECT_EQ(s.Dictionary.size(), 1u);
  EXPECT_NE(s.LanguageFileText().find("[Dictionary]\r\n\"Komi\" = \"\"\r\n"), std::string::npos);

  s.LoadLanguageText(Lines({"[Dictionary]", R"("Komi" = "Komidashi\n")", R"("Handicap" = "x")"}));
  EXPECT_EQ(s.TranslateWord("Komi"), "Komidashi\\n");  // dictionary texts are taken as read
  EXPECT_EQ(s.Dictionary.size(), 1u);                  // words the program never asked for
  EXPECT_EQ(s.TranslateWord("Line\r\nbreak"), "Line\r\nbreak");
  EXPECT_EQ(s.Dictionary.size(), 1u);  // could not be written as one line
}

TEST(StringsHolder, GameInfoFieldNames) {
  TStringsHolder s;
  s.SetGameInfoFieldNames({"", "Black Player", "White Player"});
  s.LoadLanguageText(Lines({"[Game Info Field]", R"("Black Player" = "Kuro")", R"("" = "x")"}));
  EXPECT_EQ(s.GameInfoFieldName(0), "");
  EXPECT_EQ(s.GameInfoFieldName(1), "Kuro");
  EXPECT_EQ(s.GameInfoFieldName(2), "White Player");
  EXPECT_EQ(s.GameInfoFieldName(99), "");
  s.LoadLanguageText(Lines({"[Game Info Field]", R"("White Player" = "Shiro")"}));
  EXPECT_EQ(s.GameInfoFieldName(1), "Black Player");
  EXPECT_EQ(s.GameInfoFieldName(2), "Shiro");
}

TEST(StringsHolder, BadInputKeepsDefaults) {
  const std::string longText(kMaxLanguageText + 1, 'x');
  const struct {
    const char* what;
    std::string file;
    std::string ok;  // the caption of btnOK afterwards
    std::uint16_t id;
  } cases[] = {
      {"empty", "", "OK", 0},
      {"before any section", R"("OK" = "x")", "OK", 0},
      {"truncated", "[Button]\r\n\"OK\" = \"Fi", "Fi", 0},
      {"unterminated section line", "[Button\r\n\"OK\" = \"x\"", "OK", 0},
      {"CR only", "[Language]\r\"ID\" = \"1041\"\r[Button]\r\"OK\" = \"x\"\r", "x", 1041},
      {"LF only", "[Button]\n\"OK\" = \"x\"\n", "x", 0},
      {"unknown section", "[button]\r\n\"OK\" = \"x\"\r\n", "OK", 0},
      {"key of another section", "[Label]\r\n\"OK\" = \"x\"\r\n", "OK", 0},
      {"no equals sign", "[Button]\r\n\"OK\" \"x\"\r\n", "OK", 0},
      {"quote only", "[Button]\r\n\"OK\" = \"\"\"\"\r\n", "OK", 0},
      {"empty value", "[Button]\r\n\"OK\" = \"\"\r\n", "OK", 0},
      {"over-long value", "[Button]\r\n\"OK\" = \"" + longText + "\"\r\n", "OK", 0},
      {"control bytes", std::string("[Button]\r\n\"OK\" = \"a\x01") + '\0' + "z\"\r\n", "OK", 0},
      {"ID not a number", "[Language]\r\n\"ID\" = \"12ab\"\r\n", "OK", 0},
      {"ID out of range", "[Language]\r\n\"ID\" = \"70000\"\r\n", "OK", 0},
      {"bad Shift_JIS", "[Language]\r\n\"ID\" = \"1041\"\r\n[Button]\r\n\"OK\" = \"\x82\"\r\n",
       "OK", 1041},
      {"good Shift_JIS", "[Language]\r\n\"ID\" = \"1041\"\r\n[Button]\r\n\"OK\" = \"\x82\xa0\"\r\n",
       "\x82\xa0", 1041},
      {"binary", std::string("\xff\xfe[") + '\0' + "]\x80=\x81\r\n[Button]\r\n=\r\n==\"\r\n", "OK",
       0},
  };
  for (const auto& c : cases) {
    TStringsHolder s;
    auto form = OptionsWindow();
    s.ApplyLanguage(*form, true);
    s.LoadLanguageText(c.file);
    EXPECT_EQ(s.Caption(btnOK), c.ok) << c.what;
    EXPECT_EQ(s.LanguageID, c.id) << c.what;
    EXPECT_EQ(s.Output(outDead), "Dead") << c.what;
    EXPECT_EQ(s.Hint(btnChangeBitmap), "Pick a picture|Long") << c.what;
  }

  TStringsHolder s;
  auto form = OptionsWindow();
  s.ApplyLanguage(*form, true);
  s.LoadLanguageText("[Language]\r\n\"ID\" = \"1041\"\r\n[Button]\r\n\"OK\" = \"x\"\r\n");
  EXPECT_EQ(s.LanguageCharset, 128);
  s.LoadLanguageText("[Language]\r\n\"ID\" = \"1234\"\r\n");
  EXPECT_EQ(s.LanguageCharset, 1);  // an unlisted language has the default character set
  EXPECT_FALSE(s.LoadLanguageFile(LanguageFilePath() + ".missing"));
  EXPECT_EQ(s.Caption(btnOK), "OK");
  EXPECT_EQ(s.LanguageID, 0);
}

}  // namespace
}  // namespace kessaro
