#pragma once
// Interface texts: every caption, hint and message the user reads, held in tables indexed by
// identifier, replaceable by a translation read from a language file. Windows are tied to the
// tables by the component names of their controls (letter case ignored).
//
// Texts are bytes in the code page of the interface language (LanguageID), as the language
// file stores them; the front end converts them at its boundary.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kessaro {

// The controls that carry texts. New identifiers go at the end, so that the numbers of the
// existing ones never change; a language file keys texts by their words, not by number.
#define KESSARO_CONTROL_IDS(X)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                         \
  X(btnOK)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             \
  X(btnCancel)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                         \
  X(btnHelp) X(btnChangeBitmap) X(btnChangeColor) X(btnChangeBitmap2) X(btnChangeColor2) X(btnOpenGame) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             \
      btnStop) X(btnClose) X(btnPrint) X(btnPageSetup) X(btnNextPage) X(btnPrevPage) X(btnBack) X(btnSearch) X(btnChangeSound)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                         \
      X(btnFont) X(btnPrinterSetup) X(frmAutoShow) X(frmGoToMoveNumber) X(frmLoadGameListProgress) X(frmLoadPositionGameListProgress) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                               \
          frmPrintPreview) X(frmPageSetup) X(frmSearchPositionDlg) X(frmOptions) X(actGamesList) X(actNewGameBoard) X(actNewTestBoard)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                 \
          X(actOpen) X(actSave) X(actSaveAs) X(actClose) X(actPageSetup) X(actPrintPreview) X(actPrint) X(actSound) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                 \
              actOptions) X(actExit) X(actGameHistory) X(actBaseReadOnly) X(actCopy) X(actSelectAll) X(actAddBlackStone) X(actAddWhiteStone) X(actAddBlackWhiteStone)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                  \
              X(actAddWhiteBlackStone) X(actRemoveStone) X(actShadowBoard) X(actClearModifiers) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     \
                  actInvert) X(act90Degrees) X(act180Degrees) X(act270Degrees) X(actHorizontal)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                        \
                  X(actVertical) X(actDiagonal1) X(actDiagonal7) X(actAlwaysOnTop) X(actBegin) X(actBack10Moves) X(actPriorNode) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                    \
                      actBack) X(actNext) X(actNextNode) X(actNext10Moves) X(actEnd)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                   \
                      X(actGoToMoveNumber) X(actTenuki) X(actAutoShow) X(actDuplicateBoard) X(actCreateTestBoard) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                   \
                          actCreateGameBoard) X(actSwitchWindow) X(actAbout) X(actPrintSilent) X(actLockWindow) X(actFusekiGameList) X(actFusekiPositionSearch) X(actOpenGameInFuseki) X(actShowFusekiGameCount) X(actShowFusekiPercent) X(actShowRelativeValues) X(actShowUnknownResult) X(actDoMovesColoring) X(actGameInfo) X(actGoToGameNumber) X(actShowLettersOnBoard) X(actShowSymmetricLetters) X(actCloseAll) X(actFile) X(actGoBase) X(actEdit) X(actView) X(actNavigate) X(actWindow) X(actHelp) X(actRotate) X(actSymmetry) X(actToolbars) X(actNew) X(actPreferences) X(actStones) X(actLanguage) X(actStandardItem) X(actNavigationItem) \
                          X(actSymmetryItem) X(actEditItem) X(actBoardOptionsItem) X(actStatisticsItem) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             \
                              actWindowItem) X(actStatusBarItem) X(tbBoardOptions) X(tbEdit) X(tbStatistics) X(tbInfo) X(tbMenu) X(tbNavigation)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                       \
                              X(tbStandard) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                         \
                                  tbSymmetry) X(tbWindow) X(lbSelectTimeDelayForAutoShow)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                              \
                                  X(lbTimeDelayForAutoShow) X(lbSec) X(lb20Sec) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     \
                                      lbSelectMoveNumber) X(lbGoToMoveNumber) X(lbGameBaseDirectory) X(lbPathToFusekiDatabase)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                         \
                                      X(lbPathToFusekiSubbase) X(lbPathToIndex) X(lbUserGameBaseDirectory) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                          \
                                          lbGamesLoaded) X(lbGamesFound) X(lbVarsChecked) X(lbZoom)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                    \
                                          X(lbMaxNumberOfFoundGames) X(lbBlackFrom) X(lbWhiteFrom) X(lbBlackTo) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     \
                                              lbWhiteTo) X(lbGlobalSortBy) X(lbSearchFrom) X(lbSearchTo) X(lbSearchWord)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                               \
                                              X(lbNonvisibleGameInfoFields) X(lbVisibleGameInfoFields) X(lbGameListPreferenceType) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                  \
                                                  lbMaxGameNumber) X(lbWidth) X(lbHeight) X(lbColumnSize)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                              \
                                                  X(lbTop) X(lbBottom) X(lbLeft) X(lbRight) X(lbFromMoveNumber) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     \
                                                      lbMovesPerDiagrams) X(lbNumberOfDiagrams) X(lbToMoveNumber)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                      \
                                                      X(lbDiaSize) X(lbSpaceX) X(lbSpaceY) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                          \
                                                          lbFontName) X(gbBackground) X(gbBlackStone) X(gbWhiteStone)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                  \
                                                          X(gbDirectories) X(gbNumberOfPossibleStones) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                              \
                                                              gbDefaultGameListSize) X(gbPageMargins)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                  \
                                                              X(gbPrintGame) X(gbVarOptions) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                        \
                                                                  cbAutoClose) X(cbAllowColorInversion)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                \
                                                                  X(cbPlaySound) X(cbAutoSaveBoardSize) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             \
                                                                      cbMouseHolder) X(cbGamesListType) X(cbAutoSaveWindowPreferences)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                 \
                                                                      X(cbShowGameInfo) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             \
                                                                          cbCompactGameInfo) X(cbPrintGameOnNewPage)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                   \
                                                                          X(cbThickBorders) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                         \
                                                                              cbShowLetters) X(cbDiaHeader)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                            \
                                                                              X(cbDiaCaptur) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                        \
                                                                                  cbShowLevel) X(cbShowNumberingOnFirstDia)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                            \
                                                                                  X(cbShowDiaNumbering) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             \
                                                                                      cmbZoom) X(rgNextMove)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                           \
                                                                                      X(rgDiaType) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                  \
                                                                                          rgDiaNumbering)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                              \
                                                                                          X(rbtnNonBitmap) X(                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                          \
                                                                                              rbtnBitmapFile)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                          \
                                                                                              X(rbtnNonBitmap2)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                        \
                                                                                                  X(rbtnBitmapFile2) /* actions of the main window that had no identifier: */                                                                                                                                                                                                                                                                                                                                                                                                                                                                          \
      X(actImportJoseki) X(actSaveBase) X(actJoseki) X(actReadOnly)                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                    \
          X(actSaveInterfaceLanguageStrings) X(actLoadInterfaceLanguageStrings)

// The texts the code shows itself.
#define KESSARO_OUTPUT_IDS(X)                                                                   \
  X(errWhileBuildingIndex)                                                                      \
  X(errCannotOpenRegistry) X(outDead) X(outB) X(outW) X(outBlack) X(outWhite) X(outSpaceTenuki) \
      X(outEndOfVar) X(outNoTenuki) X(outAbout) X(outVersion) X(outBuild) X(outTotal)           \
          X(outGamesFound) X(outNothing) X(outLoading) X(outSource) X(outUnknown) X(outCm)      \
              X(outInch)

#define KESSARO_ID_VALUE(name) name,
enum TControlID : int { KESSARO_CONTROL_IDS(KESSARO_ID_VALUE) kControlIDCount };
enum TOutputID : int { KESSARO_OUTPUT_IDS(KESSARO_ID_VALUE) kOutputIDCount };
#undef KESSARO_ID_VALUE

// The identifier's own name ("btnChangeBitmap2").
const char* ControlName(TControlID id);
const char* OutputName(TOutputID id);
// The identifier whose name equals the component name, letter case ignored.
std::optional<TControlID> FindControlID(std::string_view componentName);

// The run of lower-case letters that begins a name ("lb" of "lb20Sec").
std::string_view NamePrefix(std::string_view name);
// A name turned into a phrase: "_" becomes a blank, and a blank goes before every digit or
// capital that follows neither a digit nor a capital ("Back10Moves" -> "Back 10Moves").
std::string NameWords(std::string_view name);
// The words of an identifier's name without its prefix: the key of a language file.
std::string ControlWords(TControlID id);
std::string OutputWords(TOutputID id);

// The sections of a language file, in file order.
struct TSectionElement {
  const char* Prefix;  // "" for the sections without identifiers
  const char* Name;
};
constexpr int kSectionCount = 17;
const std::array<TSectionElement, kSectionCount>& Sections();

struct TDictionaryWord {
  std::string Word;
  std::string Translation;
};

struct TGameInfoFieldName {
  std::string English;  // empty: the element is never shown and not translated
  std::string Name;
};

// What a component is, which decides how its text is read and set.
enum class TComponentKind {
  Form,
  Action,
  MenuItem,
  Toolbar,
  Label,
  Button,
  GroupBox,
  CheckBox,
  RadioButton,
  ComboBox,
  RadioGroup,
  Other,
};

// A window and its components as the language code sees them: a tree of named components.
// The front end implements it over its widgets. Texts are bytes in the interface code page.
class TLanguageComponent {
 public:
  virtual ~TLanguageComponent() = default;
  virtual std::string Name() const = 0;
  virtual TComponentKind Kind() const = 0;
  // Window caption, action caption, label, button or group text, radio group caption.
  virtual std::string Caption() const { return {}; }
  virtual void SetCaption(const std::string&) {}
  // "short|long" or one text for both.
  virtual std::string Hint() const { return {}; }
  virtual void SetHint(const std::string&) {}
  // Combo box and radio group items.
  virtual std::vector<std::string> Items() const { return {}; }
  virtual void SetItems(const std::vector<std::string>&) {}
  // A component that does not take its font from its parent (a window always does not).
  virtual bool HasOwnFont() const { return false; }
  virtual void SetFont(std::uint8_t /*charset*/, const std::string& /*fontName*/) {}
  virtual int ChildCount() const { return 0; }
  // Valid for 0 <= index < ChildCount() until the tree changes.
  virtual TLanguageComponent* Child(int /*index*/) { return nullptr; }
};

constexpr const char* kDefaultFontName = "MS Sans Serif";
// Longest text a language file may give; longer values are ignored.
constexpr std::size_t kMaxLanguageText = 4096;
// Language files are small; a larger file is read up to this size.
constexpr std::size_t kMaxLanguageFileSize = 4u << 20;

// The tables. One instance serves the process (Strings()); tests make their own.
class TStringsHolder {
 public:
  // The state at the start of the process: built-in outputs, "Games List", empty hints.
  TStringsHolder();

  std::array<std::string, kControlIDCount> CurrentCaptions, DefaultCaptions;
  std::array<std::string, kControlIDCount> CurrentHints, DefaultHints;
  std::array<std::string, kOutputIDCount> CurrentOutputs, DefaultOutputs;
  // Indexed by game information element; set up by SetGameInfoFieldNames.
  std::vector<TGameInfoFieldName> GameInfoFieldNames;
  std::vector<TDictionaryWord> Dictionary;
  std::uint16_t LanguageID = 0;  // 0: no language loaded, windows keep their own texts
  std::uint8_t LanguageCharset = 0;
  std::string LanguageFontName = kDefaultFontName;

  const std::string& Caption(TControlID id) const { return CurrentCaptions[id]; }
  const std::string& Hint(TControlID id) const { return CurrentHints[id]; }
  const std::string& Output(TOutputID id) const { return CurrentOutputs[id]; }
  // The translated display name of a game information element; "" when out of range.
  const std::string& GameInfoFieldName(int element) const;
  // The English display names, one per element in element order (the game records own them).
  void SetGameInfoFieldNames(const std::vector<std::string>& englishNames);

  void ResetLanguage();
  // The dictionary translation of a free word, or the word itself; an unknown word is added
  // with an empty translation so that the next saved file lists it.
  std::string TranslateWord(std::string_view word);

  // False when the file cannot be read; the texts are then the defaults.
  bool LoadLanguageFile(const std::string& path);
  // The same from the file's bytes.
  void LoadLanguageText(std::string_view bytes);
  bool SaveLanguageFile(const std::string& path) const;
  std::string LanguageFileText() const;

  // Labels one window; atConstruction also registers the window's own texts as defaults.
  void ApplyLanguage(TLanguageComponent& form, bool atConstruction);
  // The windows that ApplyLanguageToAllForms labels; a window unregisters before it dies.
  void RegisterForm(TLanguageComponent* form);
  void UnregisterForm(TLanguageComponent* form);
  void ApplyLanguageToAllForms();

 private:
  void FillFromDefaults();
  void DropUnreadableTexts();

  std::vector<TLanguageComponent*> forms_;
};

// The process-wide tables.
TStringsHolder& Strings();

// "Test.lng" in the per-user home.
std::string LanguageFilePath();

// Text helpers shared with the front end: lines split at CR LF, CR or LF (a final line break
// makes no empty line), and joined with CR LF.
std::vector<std::string> SplitLines(std::string_view text);
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace kessaro
