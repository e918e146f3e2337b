#pragma once
// The two small information dialogs: picture information ("Bildinformationen") and album
// information ("Albuminformationen bearbeiten"). They only hold fields; callers fill and read them.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vistrel {

// The picture information shows the picture it describes, and "Zurück"/"Weiter" (Strg+Bild auf/ab)
// ask the owner to store this picture's fields and fill the dialog with the neighbour's, so an album
// can be captioned picture by picture without closing the dialog.
class TEditInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditInfoForm(QWidget* parent);
    QLineEdit* Edit1;
    QPlainTextEdit* Memo1;
    QLabel* imgPicture;
    QPushButton* btnPrevious;
    QPushButton* btnNext;

    // The picture file shown above the fields (scaled to the box); an empty path shows none.
    void ShowPicture(const QString& file);
    void SetStepsEnabled(bool previous, bool next);

Q_SIGNALS:
    // -1 for "Zurück", +1 for "Weiter".
    void stepRequested(int delta);

protected:
    void showEvent(QShowEvent* event) override;
};

class TEditAlbumInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditAlbumInfoForm(QWidget* parent);
    QLineEdit* edGalleryName;
    QLineEdit* edGalleryInfo;
    QPlainTextEdit* edGalleryText;

protected:
    void showEvent(QShowEvent* event) override;
};

// Memo text as the store keeps it: lines joined with CR LF; and back.
QString MemoFromStored(const std::string& ansi);
std::string StoredFromMemo(const QString& text);

} // namespace vistrel
