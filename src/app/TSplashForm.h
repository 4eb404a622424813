#pragma once

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QProgressBar;
class RegistryStore;

// The borderless picture window shown while the program starts. Creating it runs the
// installation work (FormCreate): on the first start after installation the shell
// entries, window defaults and document template are written to the stored settings;
// on every start the catalogue files and support folders beside the program are
// checked. ContinueStartup tells the entry sequence whether start-up may go on.
class TSplashForm : public QWidget
{
    Q_OBJECT
public:
    // programFolder: the folder that holds the program file, its catalogue files and
    // its support folders.
    explicit TSplashForm(const QString &programFolder = QCoreApplication::applicationDirPath(),
                         QWidget *parent = nullptr);
    // A screen made again in the same run (the hidden one) runs the same work, but does
    // not show again the messages that an earlier screen showed (`shownBefore`, as
    // shownMessages() gives them): the user has seen them once.
    TSplashForm(const QString &programFolder, const QStringList &shownBefore, QWidget *parent = nullptr);

    // The texts of the messages shown so far in this run, those given at creation included.
    const QStringList &shownMessages() const { return m_shown; }

    // Cleared only when the installation check finds a catalogue file missing.
    bool ContinueStartup = true;

    QLabel *Picture = nullptr;
    QLabel *ProgressLabel = nullptr;
    QProgressBar *ProgressBar = nullptr; // range 0 to 50

    // Shows a progress step and lets the screen repaint at once.
    void setProgress(const QString &text, int position);

    const QString &programFolder() const { return m_programFolder; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void writeShellEntries(RegistryStore &registry) const;
    void writeWindowDefaults(RegistryStore &registry) const;
    bool installationComplete() const;
    bool hasFolder(const QString &name) const;
    // Shows a message unless it was shown before in this run.
    void report(QMessageBox::Icon icon, const QString &caption, const QString &text);
    void reportFailure(const QString &message);

    QString m_programFolder;
    QStringList m_shown;
};
