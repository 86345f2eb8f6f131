#pragma once

#include <QString>
#include <QtGlobal>

class QDialog;
class QWidget;

namespace kelvane {

// Platform services sit behind these small interfaces so that tests can run two players in
// one process without a sound device, a person to click a message box, or a real exit.

class MoveSound {
public:
    virtual ~MoveSound() = default;
    // Plays "Move.wav" from the current directory and returns when it has finished. Falls
    // back to the system beep, at once, when the file or the audio device is missing.
    virtual void playToEnd() = 0;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box with the information icon and one OK button; returns when it is closed.
    virtual void information(QWidget* parent, const QString& title, const QString& text) = 0;
    // The same without an icon.
    virtual void plain(QWidget* parent, const QString& title, const QString& text) = 0;
};

class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    // Ends the program at once; no further handler of this player runs.
    virtual void endNow() = 0;
};

class ModalDialogs {
public:
    virtual ~ModalDialogs() = default;
    // Shows the dialog modally and returns when it has been closed. Events that are not
    // user input, such as the peer's messages, go on being handled meanwhile.
    virtual void showModal(QDialog& dialog) = 0;
};

// Starts other programs and returns at once, without waiting for them. Each call tells
// whether the program could be started.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Runs a command line in a normal window that gets the focus.
    virtual bool startProgram(const QString& commandLine) = 0;
    // Opens a file in the desktop's text editor.
    virtual bool openInTextEditor(const QString& path) = 0;
    // Opens a web address in the desktop's browser.
    virtual bool openInBrowser(const QString& address) = 0;
};

// The three calls of the system registry that locate the system-information tool, with
// the Win32 meaning of every argument and status: texts in the system code page, the data
// buffer's size passed in and the size of the value passed out.
using RegistryKey = quintptr;

// Root keys are sign-extended 32-bit constants, as in the Win32 headers.
inline const RegistryKey HkeyLocalMachine =
    static_cast<RegistryKey>(static_cast<qintptr>(static_cast<qint32>(0x80000002u)));
inline constexpr quint32 KeyAllAccess = 0x2003F;

inline constexpr long ErrorSuccess = 0;
inline constexpr long ErrorFileNotFound = 2;
inline constexpr long ErrorInvalidHandle = 6;
inline constexpr long ErrorMoreData = 234;

inline constexpr quint32 RegSz = 1;    // a string
inline constexpr quint32 RegDword = 4; // a 32-bit number, little-endian

class Registry {
public:
    virtual ~Registry() = default;
    // Opens subKey under root; on success *result is the open key.
    virtual long RegOpenKeyExA(RegistryKey root, const char* subKey, quint32 options,
                               quint32 samDesired, RegistryKey* result) = 0;
    // Reads a value of an open key. *dataSize holds the buffer's size on entry and the
    // value's size on return; a value larger than the buffer fails with ErrorMoreData.
    virtual long RegQueryValueExA(RegistryKey key, const char* valueName, quint32* reserved,
                                  quint32* type, unsigned char* data, quint32* dataSize) = 0;
    virtual long RegCloseKey(RegistryKey key) = 0;
};

} // namespace kelvane
