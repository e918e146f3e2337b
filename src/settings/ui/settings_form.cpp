#include "settings/ui/settings_form.h"

#include "common/cp1252.h"
#include "common/line_file.h"
#include "common/numbers.h"
#include "common/user_prompts.h"
#include "settings/program_settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <string_view>

namespace vistrel {
namespace {

// Lines as a multi-line field shows them. Joined with single line breaks, not ended by one, so that
// reading the field back gives the very same lines, a trailing empty line included.
QString LinesToDisplay(const std::vector<std::string>& lines) {
    QStringList shown;
    for (const std::string& line : lines)
        shown << AnsiToDisplay(line);
    return shown.join(QLatin1Char('\n'));
}

std::vector<std::string> LinesFromDisplay(const QString& text) {
    std::vector<std::string> lines;
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines.push_back(QStringToAnsi(line));
    return lines;
}

// Qt reads the patterns of a filter row from its last pair of parentheses and splits them at blanks,
// so the row "HTML Dateien (*.htm; *.html)" alone would look for names ending in "htm;". Each row
// therefore carries its patterns once more at the end, and the dialog hides that second part.
QString FilterWithPatterns(const QString& row, const QString& patterns) {
    return row + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

QString ChooseTextFile(QWidget* parent) {
    const QStringList rows = TSettingsForm::FileFilterRows();
    QFileDialog dialog(parent, QString(), QDir::currentPath());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters({FilterWithPatterns(rows[0], QStringLiteral("*.txt")),
                           FilterWithPatterns(rows[1], QStringLiteral("*.htm *.html")),
                           FilterWithPatterns(rows[2], QStringLiteral("*"))});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i]);
        group_->addButton(button, i);
        layout->addWidget(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::itemClicked);
}

int TRadioGroup::ItemIndex() const {
    return group_->checkedId();
}

QRadioButton* TRadioGroup::Item(int index) const {
    return qobject_cast<QRadioButton*>(group_->button(index));
}

void TRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = group_->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never unchecks its last checked button by itself.
    group_->setExclusive(false);
    for (QAbstractButton* button : group_->buttons())
        button->setChecked(false);
    group_->setExclusive(true);
}

TSettingsForm::TSettingsForm(TProgramSettings& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), settings_(settings), prompts_(prompts), chooser_(ChooseTextFile) {
    setObjectName(QStringLiteral("TSettingsForm"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    PageControl = new QTabWidget;
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setMinimumSize(641, 385);
    PageControl->addTab(BuildInfoPage(), QStringLiteral("Info"));
    PageControl->addTab(BuildMainPage(), QStringLiteral("Hauptseite"));
    PageControl->addTab(BuildImportPage(), QStringLiteral("Bildimport"));
    PageControl->addTab(BuildPublishPage(), QStringLiteral("Veröffentlichen"));
    PageControl->addTab(BuildOtherPage(), QStringLiteral("Sonstiges"));
    connect(PageControl, &QTabWidget::currentChanged, this, [this] { FocusFirstField(); });
    BindSettings();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl, 1);
    layout->addWidget(BuildButtons());
    // The designed client area, grown only where the desktop font needs more room than it gives.
    setFixedSize(QSize(658, 435).expandedTo(minimumSizeHint()));
}

int TSettingsForm::HelpContext(TSettingsPage page) {
    switch (page) {
    case TSettingsPage::Info:
        return 800;
    case TSettingsPage::MainPage:
        return 900;
    case TSettingsPage::ImageImport:
        return 700;
    case TSettingsPage::Publish:
        return 1100;
    case TSettingsPage::Other:
        return 1000;
    }
    return 800;
}

QStringList TSettingsForm::FileFilterRows() {
    return {QStringLiteral("Text Dateien (*.txt)"), QStringLiteral("HTML Dateien (*.htm; *.html)"),
            QStringLiteral("Alle Dateien (*.*)")};
}

// These make "&Übernehmen" available in their own way, or not at all: the gamma field when it is
// clicked (see eventFilter); the text still goes into the settings at once.
constexpr std::string_view kSilentSettings[] = {"edGamma", "cbCheckServer", "cbAllowInvitations"};

void TSettingsForm::BindSettings() {
    for (const TSettingDescription& setting : SettingDescriptions()) {
        bool silent = std::find(std::begin(kSilentSettings), std::end(kSilentSettings), setting.name) !=
                      std::end(kSilentSettings);
        BindSetting(setting, silent ? TChange::Silent : TChange::EnablesApply);
    }
}

void TSettingsForm::BindSetting(const TSettingDescription& setting, TChange change) {
    const QString name = QString::fromLatin1(setting.name);
    switch (setting.kind) {
    case TSettingKind::Flag:
        if (auto* button = PageControl->findChild<QAbstractButton*>(name))
            return BindFlag(button, settings_.*std::get<bool TProgramSettings::*>(setting.member), change);
        break;
    case TSettingKind::Text:
    case TSettingKind::Password:
        if (auto* edit = PageControl->findChild<QLineEdit*>(name))
            return BindText(edit, settings_.*std::get<std::string TProgramSettings::*>(setting.member),
                            change);
        break;
    case TSettingKind::Choice:
        if (auto* group = PageControl->findChild<TRadioGroup*>(name))
            return BindChoice(group, settings_.*std::get<int TProgramSettings::*>(setting.member));
        break;
    case TSettingKind::Lines:
        if (auto* memo = PageControl->findChild<QPlainTextEdit*>(name))
            return BindLines(
                memo, settings_.*std::get<std::vector<std::string> TProgramSettings::*>(setting.member));
        break;
    }
    // A row without its control is a programming error that the dialog's tests catch.
    qWarning("TSettingsForm: no control named %s", setting.name);
}

void TSettingsForm::BindText(QLineEdit* edit, std::string& value, TChange change) {
    showers_.push_back([edit, &value] { edit->setText(AnsiToDisplay(value)); });
    connect(edit, &QLineEdit::textChanged, this, [this, &value, change](const QString& text) {
        if (filling_) return;
        value = QStringToAnsi(text);
        if (change == TChange::EnablesApply) Changed();
    });
}

void TSettingsForm::BindLines(QPlainTextEdit* memo, std::vector<std::string>& lines) {
    showers_.push_back([memo, &lines] { memo->setPlainText(LinesToDisplay(lines)); });
    connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, &lines] {
        if (filling_) return;
        lines = LinesFromDisplay(memo->toPlainText());
        Changed();
    });
}

// Flags follow clicks, not state changes: a click is the user's change, while filling the controls
// sets their state without one.
void TSettingsForm::BindFlag(QAbstractButton* button, bool& value, TChange change) {
    showers_.push_back([button, &value] {
        // A checked radio button of an exclusive set refuses to be unchecked by itself; the lone
        // "Veröffentlichung auf folgendem FTP-Server:" must show a stored false all the same.
        bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(value);
        button->setAutoExclusive(exclusive);
    });
    connect(button, &QAbstractButton::clicked, this, [this, &value, change](bool checked) {
        value = checked;
        if (change == TChange::EnablesApply) Changed();
    });
}

void TSettingsForm::BindChoice(TRadioGroup* group, int& value) {
    showers_.push_back([group, &value] { group->SetItemIndex(value); });
    connect(group, &TRadioGroup::itemClicked, this, [this, &value](int index) {
        value = index;
        Changed();
    });
}

QPushButton* TSettingsForm::LoadButton(QPlainTextEdit* memo, const QString& name) {
    auto* button = new QPushButton(QStringLiteral("Laden..."));
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, [this, memo] { LoadLinesFromFile(memo); });
    return button;
}

void TSettingsForm::ShowValues() {
    filling_ = true;
    for (const auto& show : showers_)
        show();
    filling_ = false;
}

void TSettingsForm::Changed() {
    if (!filling_) btnApply->setEnabled(true);
}

void TSettingsForm::FocusFirstField() {
    QWidget* first[] = {edImpressum, edIndexText1, cbAutoSize, edFTPServer, edNoOfThumbs};
    int page = PageControl->currentIndex();
    if (page >= 0 && page < static_cast<int>(std::size(first))) first[page]->setFocus(Qt::OtherFocusReason);
}

void TSettingsForm::FixThumbCount() {
    int count = 0;
    if (!ParseInt(QStringToAnsi(edNoOfThumbs->text()), count) || count <= 0)
        edNoOfThumbs->setText(QStringLiteral("1"));
}

void TSettingsForm::showEvent(QShowEvent* event) {
    if (!placed_) {
        // The stored position applies once; afterwards the dialog keeps wherever the user moved it.
        placed_ = true;
        const TLoadedPlacement& loaded = settings_.loadedSettingsFormPlacement;
        if (loaded.hasRect) {
            setGeometry(QRect(QPoint(loaded.placement.normal.left, loaded.placement.normal.top), size()));
        } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    ShowValues();
    btnApply->setEnabled(false);
    QDialog::showEvent(event);
    FocusFirstField();
}

// The close box hides the dialog without saving and without re-reading the file; QDialog would
// treat it as "Abbrechen".
void TSettingsForm::closeEvent(QCloseEvent* event) {
    if (isVisible()) QDialog::done(QDialog::Rejected);
    event->accept();
}

void TSettingsForm::reject() {
    settings_.Revert();
    // The controls show the re-read values at once, so nothing that happens to them while the
    // dialog closes (the count field losing the focus) writes a discarded value back.
    ShowValues();
    QDialog::reject();
}

void TSettingsForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (help_) help_(HelpContext(static_cast<TSettingsPage>(PageControl->currentIndex())));
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edGamma && event->type() == QEvent::MouseButtonPress) {
        Changed();
    } else if (watched == edNoOfThumbs && event->type() == QEvent::FocusOut && isVisible()) {
        // Switching to another program is not leaving the field.
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) FixThumbCount();
    }
    return QDialog::eventFilter(watched, event);
}

void TSettingsForm::LoadLinesFromFile(QPlainTextEdit* memo) {
    QString path = chooser_ ? chooser_(this) : QString();
    if (path.isEmpty()) return;
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        prompts_.ShowMessage(QStringToAnsi(file.errorString()), MessageKind::Error);
        return;
    }
    memo->setPlainText(LinesToDisplay(SplitLines(std::string_view(bytes.constData(), bytes.size()))));
}

bool TSettingsForm::SaveSettings() {
    // "OK" by the Return key does not take the focus from the count field; its rule applies anyway,
    // so no count below 1 is ever saved from the dialog.
    if (edNoOfThumbs->hasFocus()) FixThumbCount();
    QRect area = geometry();
    settings_.settingsFormPlacement.show = TShowState::Normal;
    settings_.settingsFormPlacement.normal = {area.left(), area.top(), area.right() + 1, area.bottom() + 1};
    return settings_.Save();
}

void TSettingsForm::btnOkClick() {
    // A failed save has shown its message; the dialog stays open so nothing typed is lost.
    if (SaveSettings()) accept();
}

void TSettingsForm::btnApplyClick() {
    if (SaveSettings()) btnApply->setEnabled(false);
}

} // namespace vistrel
