// The window's ways to a picture: the open dialog, Paste, a drop, the command line, the recent
// list and the steps, all funnelled into the opener; and what the window shows around them
// that the opener does not: the wait cursor while the clipboard's owner answers, the welcome
// panel again when the command line's picture fails. Main thread.
#pragma once

#include "image_opener.h"

#include <QList>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class QWidget;

namespace tonalyx {

class TClipboardWatch;
class TCommandStates;
class TWelcomePanel;

struct TAppCore;

struct TOpenRequestsParts {
    QWidget* Window;    // the open dialog's parent
    QWidget* ImageView; // repainted once the dialog closes
    TOpenerView* View;  // the wait cursor and the failures
    TAppCore* Core;     // the current file's name; released at close
    TWelcomePanel* Welcome;
    TClipboardWatch* Clipboard;
    TCommandStates* States;                                   // whether Paste has a picture to take
    std::function<std::unique_ptr<QSettings>()> OpenSettings; // the open dialog's folder
};

class TOpenRequests final : public QObject {
    Q_OBJECT
  public:
    TOpenRequests(TOpenRequestsParts parts, std::unique_ptr<TImageOpener> opener, QObject* parent);
    ~TOpenRequests() override;

    // A file to open, or a step: a paste still waiting on the clipboard's owner is dropped,
    // so that its picture cannot replace the newer one when it comes.
    void LoadImageFile(const QString& path);
    // Takes the clipboard's picture, without waiting on its owner; one at a time.
    void PasteImage();
    // Drops the paste still waiting on the clipboard's owner, as if never asked; false when
    // none was.
    bool CancelPaste();
    // A key the window did not take: Escape drops a waiting paste and cancels an open under
    // way; a step by key drops a waiting paste too. Whether either took it.
    bool KeyDown(int key);
    // The welcome panel's Paste, which is there whether or not the clipboard holds a picture.
    void PasteFromWelcome();
    void ShowNeighbor(TNeighbor neighbor);
    // Camera raw files shown developed or as the cameras' previews, the current one at once
    // (TImageOpener::SetDeveloped).
    void SetDeveloped(bool developed);
    // Asks for a file with the open dialog and opens it.
    void AskAndOpen();
    // The first of the dropped files, once the drop has returned.
    void Drop(const QList<QUrl>& urls);
    // The first argument's picture, decoded while the window is built and shown; the welcome
    // panel would only flash before it. A refusal is kept for CommandLineRefusal.
    void OpenCommandLine(const QStringList& arguments);
    // Why the command line's file was refused, to be told once the window is painted.
    const QString& CommandLineRefusal() const { return FCommandLineRefusal; }
    // The command line's picture is still opening.
    bool CommandLineOpening() const { return FCommandLineOpening; }
    // At close: a paste still waiting is dropped, an open under way cancelled.
    void Close();

    // Null once closed.
    TImageOpener* Opener() const { return FOpener.get(); }

  signals:
    // An open has ended: shown, failed or cancelled; commandLine for the command line's.
    void Settled(bool commandLine);

  private:
    void OpenSettled();
    void EndPasteCursor();

    TOpenRequestsParts F;
    std::unique_ptr<TImageOpener> FOpener;
    bool FPasteCursor = false;        // the wait cursor of a paste waiting on the clipboard
    bool FCommandLineOpening = false; // the command line's picture, until shown or failed
    QString FCommandLineRefusal;
};

} // namespace tonalyx
