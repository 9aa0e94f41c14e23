#pragma once

#include "content/dataplaces.h"
#include "content/lessonimport.h"

#include <QDialog>

#include <optional>
#include <vector>

class ImportRunner;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

// "导入课程": the learner's own audio (or video) and its subtitles or plain text become a
// lesson of one of their books. Not modal: the window keeps playing while the import runs
// on its own thread. Every field is named for screen readers by its caption.
//
// It writes where the programs read (DataPlaces::writeRoot()), and only into books whose
// lesson-name list lives there: appending to a shipped book's list from the learner's folder
// would make a list of the new lesson alone that hides the shipped ones.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    ImportDialog(const DataPlaces &places, AudioTools tools, QWidget *parent = nullptr);
    ~ImportDialog() override;

    // Refills the book list (an import may have added one); keeps what the learner typed.
    void refreshBooks(const QString &preferred);
    // Books the dialog offers: those whose lesson-name list is where imports write.
    static QStringList importableBooks(const DataPlaces &places);

    bool isImporting() const;

    // Moves the dialog off keep (the main window, whose sentence the learner now listens to
    // and retimes) when it covers it: below, right, left or above it, the first place with
    // room on the screen; it stays where it is when none has room.
    void moveClearOf(const QRect &keep);
    // That place for a frame of size beside keep within room; nothing when none has room.
    static std::optional<QPoint> placeBeside(const QRect &keep, const QSize &size,
                                             const QRect &room);

    QLineEdit *audioEdit() const { return m_audio; }
    QLineEdit *textEdit() const { return m_text; }
    QLineEdit *chineseEdit() const { return m_chinese; }
    QComboBox *bookBox() const { return m_book; }
    QLineEdit *nameEdit() const { return m_name; }
    QComboBox *englishTrackBox() const { return m_englishTrack; }
    QComboBox *chineseTrackBox() const { return m_chineseTrack; }
    QPushButton *importButton() const { return m_import; }
    QPushButton *cancelButton() const { return m_cancel; }
    QProgressBar *progressBar() const { return m_progress; }
    QLabel *messageLine() const { return m_message; }
    // The "第 N 句" buttons of the last import, in sentence order.
    std::vector<QPushButton *> doubtfulButtons() const { return m_doubtfulButtons; }

    // Replaces the file chooser (tests): asked with the field's caption and the filter.
    std::function<QString(const QString &caption, const QString &filter)> chooseFile;

public Q_SLOTS:
    void startImport();
    void reject() override; // cancels a running import and waits for it, then hides

Q_SIGNALS:
    // The lesson is written: the window lists the book, selects and loads the lesson.
    void imported(const QString &book, const QString &lessonName);
    // A doubtful sentence's button: go to sentence (1-based) of the imported lesson.
    void sentenceRequested(int sentence);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void build();
    QPushButton *browseButton(const QString &field, const QString &filter, QLineEdit *target);
    void audioChanged(const QString &path);
    void readTracks();
    void showTracks();
    QString refusal() const;
    void setRunning(bool running);
    void showMessage(const QString &text, bool error);
    void showDoubtful(const std::vector<int> &sentences);
    void finished(const ImportResult &result);
    void stopRunning();

    DataPlaces m_places;
    AudioTools m_tools;
    ImportRunner *m_runner = nullptr;
    QLineEdit *m_audio = nullptr;
    QLineEdit *m_text = nullptr;
    QLineEdit *m_chinese = nullptr;
    QComboBox *m_book = nullptr;
    QLineEdit *m_name = nullptr;
    QLabel *m_englishCaption = nullptr;
    QLabel *m_chineseCaption = nullptr;
    QComboBox *m_englishTrack = nullptr;
    QComboBox *m_chineseTrack = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_message = nullptr;
    QWidget *m_doubtful = nullptr;
    QGridLayout *m_doubtfulGrid = nullptr;
    std::vector<QPushButton *> m_doubtfulButtons;
    QPushButton *m_import = nullptr;
    QPushButton *m_cancel = nullptr;
    QList<QWidget *> m_fields; // disabled while an import runs
    QString m_namePrefill;     // the lesson name last filled from the audio's file name
    QString m_tracksOf;        // the audio whose embedded tracks the track lists hold
    std::vector<EmbeddedTrack> m_tracks;
    QString m_runningBook;
    QString m_runningName;
};
