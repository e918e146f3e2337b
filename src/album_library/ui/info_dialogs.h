#pragma once
// The two small information dialogs: picture information ("Bildinformationen") and album
// information ("Albuminformationen bearbeiten"). They only hold fields; callers fill and read them.
#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace vistrel {

class TEditInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditInfoForm(QWidget* parent);
    QLineEdit* Edit1;
    QPlainTextEdit* Memo1;

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
