#pragma once

// The banner the customers' client shows in its main screen: set from a JPEG
// file (the service fits it to 640 x 79) or removed, with a preview of the
// current one. Opens as a sub-window; reads the service when first shown, so
// that building it (e.g. to learn its title) calls nothing.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class UploadBanner : public QDialog
{
    Q_OBJECT

public:
    // The window title, known without building the window.
    static QString titolo();

    explicit UploadBanner(QWidget *parent = nullptr);

public slots:
    void refreshCurrentBanner();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_toolButtonBrowse_clicked();
    void on_pushButtonUpload_clicked();
    void on_pushButtonRemove_clicked();

private:
    QLineEdit *lineEditLocation = nullptr;
    QLineEdit *lineEditUrl = nullptr;
    QToolButton *toolButtonBrowse = nullptr;
    QPushButton *pushButtonRemove = nullptr;
    QPushButton *pushButtonUpload = nullptr;
    QLabel *labelUrl = nullptr;
    QLabel *labelBannerPreview = nullptr;
    bool m_shown = false;
};
