#include "importdialog.h"

#include "content/catalogue.h"
#include "content/contentpaths.h"
#include "importrunner.h"
#include "widgets/windowstyle.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char *const dialogStyle = R"(
QDialog#ImportDialog { border: 1px solid #D5DDE6; }
QLabel { color: #2B3642; }
QLabel#ImportMessage { padding: 6px 8px; border-radius: 6px; }
QLabel#ImportMessage[error="true"] { background: #FFF4F2; color: #8A2E22; border: 1px solid #F3CFC9; }
QLabel#ImportMessage[error="false"] { background: #F2F8F3; color: #2D5B35; border: 1px solid #CFE6D3; }
QLineEdit, QComboBox { min-height: 24px; }
QPushButton { min-width: 64px; min-height: 26px; }
QPushButton[accent="true"]:disabled { background: #A9C6F2; border-color: #A9C6F2; }
QScrollArea#DoubtfulSentences, QWidget#DoubtfulButtons { background: transparent; }
QProgressBar { min-height: 10px; max-height: 10px; border: 1px solid #D5DDE6; border-radius: 5px;
               background: #F1F5FA; text-align: center; }
QProgressBar::chunk { background: #2F7BEA; border-radius: 4px; }
)";

const QString audioFilter =
    QStringLiteral("音频或视频 (*.mp3 *.wav *.ogg *.oga *.opus *.flac *.m4a *.aac *.wma *.mp4 "
                   "*.m4v *.mkv *.webm *.mov);;所有文件 (*)");
const QString textFilter = QStringLiteral(
    "字幕或文本 (*.srt *.vtt *.lrc *.txt);;字幕 (*.srt *.vtt *.lrc);;文本 (*.txt);;所有文件 (*)");
const QString chineseFilter = QStringLiteral("字幕或文本 (*.srt *.vtt *.lrc *.txt);;所有文件 (*)");

QString trackCaption(const EmbeddedTrack &track) {
    QString caption = track.language.isEmpty() ? QStringLiteral("未标语言") : track.language;
    if (!track.title.isEmpty())
        caption += QStringLiteral(" · ") + track.title;
    return QStringLiteral("%1（轨道 %2）").arg(caption).arg(track.stream);
}

} // namespace

ImportDialog::ImportDialog(const DataPlaces &places, AudioTools tools, QWidget *parent)
    : QDialog(parent), m_places(places), m_tools(std::move(tools)),
      m_runner(new ImportRunner(this)) {
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(QStringLiteral("导入课程"));
    setModal(false);
    styleDialog(this, dialogStyle);
    build();
    connect(m_runner, &ImportRunner::progressed, this,
            [this](double fraction) { m_progress->setValue(int(fraction * 1000)); });
    connect(m_runner, &ImportRunner::finished, this, &ImportDialog::finished);
}

ImportDialog::~ImportDialog() {
    m_runner->stopAndWait();
    // QDialog's destructor hides the dialog, and the field that loses the focus then says
    // editingFinished: no slot of this half-destroyed dialog may run on it.
    for (QObject *child : findChildren<QLineEdit *>())
        child->disconnect(this);
}

void ImportDialog::build() {
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    int row = 0;
    auto addField = [&](const QString &caption, QWidget *field, QWidget *extra = nullptr) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(caption);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, extra ? 1 : 2);
        if (extra)
            grid->addWidget(extra, row, 2);
        m_fields << field;
        if (extra)
            m_fields << extra;
        ++row;
        return label;
    };
    auto lineEdit = [this](const QString &placeholder) {
        auto *edit = new QLineEdit(this);
        edit->setPlaceholderText(placeholder);
        edit->setMinimumWidth(320);
        return edit;
    };

    m_audio = lineEdit(QStringLiteral("MP3、WAV、OGG 音频，或 MP4、MKV、WebM 视频"));
    addField(QStringLiteral("音频文件"), m_audio,
             browseButton(QStringLiteral("音频文件"), audioFilter, m_audio));
    m_text = lineEdit(QStringLiteral("SRT、VTT、LRC 字幕，或每行一句的英文文本"));
    addField(QStringLiteral("字幕或文本文件"), m_text,
             browseButton(QStringLiteral("字幕或文本文件"), textFilter, m_text));
    m_chinese = lineEdit(QStringLiteral("与上面的字幕或文本逐句对应的中文"));
    addField(QStringLiteral("中文字幕（可选）"), m_chinese,
             browseButton(QStringLiteral("中文字幕（可选）"), chineseFilter, m_chinese));

    m_englishTrack = new QComboBox(this);
    m_englishCaption = addField(QStringLiteral("英文字幕轨道"), m_englishTrack);
    m_chineseTrack = new QComboBox(this);
    m_chineseCaption = addField(QStringLiteral("中文字幕轨道"), m_chineseTrack);
    for (QWidget *widget : {static_cast<QWidget *>(m_englishCaption), m_englishCaption->buddy(),
                            static_cast<QWidget *>(m_chineseCaption), m_chineseCaption->buddy()})
        widget->hide();

    m_book = new QComboBox(this);
    m_book->setEditable(true);
    m_book->setInsertPolicy(QComboBox::NoInsert);
    m_book->lineEdit()->setPlaceholderText(QStringLiteral("选一本书，或输入新书名"));
    addField(QStringLiteral("书名"), m_book);
    // On Linux a combo box is read by its text; the caption names the field one types in.
    m_book->lineEdit()->setAccessibleName(QStringLiteral("书名"));
    m_name = lineEdit(QStringLiteral("课程列表里显示的名字"));
    addField(QStringLiteral("课名"), m_name);

    m_progress = new QProgressBar(this);
    m_progress->setAccessibleName(QStringLiteral("导入进度"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("ImportMessage"));
    m_message->setWordWrap(true);
    m_message->setAccessibleDescription(QStringLiteral("导入结果"));
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->hide();

    m_doubtful = new QWidget(this);
    auto *doubtfulBox = new QVBoxLayout(m_doubtful);
    doubtfulBox->setContentsMargins(0, 0, 0, 0);
    auto *doubtfulCaption =
        new QLabel(QStringLiteral("这些句子的时间可能不准，点一下去句子学习听一听："), m_doubtful);
    doubtfulCaption->setWordWrap(true);
    auto *scroll = new QScrollArea(m_doubtful);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setObjectName(QStringLiteral("DoubtfulSentences"));
    scroll->setMaximumHeight(96);
    scroll->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    scroll->viewport()->setAutoFillBackground(false);
    auto *buttons = new QWidget(scroll);
    buttons->setObjectName(QStringLiteral("DoubtfulButtons"));
    m_doubtfulGrid = new QGridLayout(buttons);
    m_doubtfulGrid->setContentsMargins(0, 0, 0, 0);
    m_doubtfulGrid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setWidget(buttons);
    doubtfulBox->addWidget(doubtfulCaption);
    doubtfulBox->addWidget(scroll);
    m_doubtful->hide();

    m_import = new QPushButton(QStringLiteral("导入"), this);
    m_import->setProperty("accent", true);
    m_import->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    auto *actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(m_import);
    actions->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 16);
    layout->setSpacing(10);
    layout->addLayout(grid);
    layout->addWidget(m_progress);
    layout->addWidget(m_message);
    layout->addWidget(m_doubtful);
    layout->addStretch();
    layout->addLayout(actions);

    connect(m_import, &QPushButton::clicked, this, &ImportDialog::startImport);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_runner->isRunning()) {
            m_runner->cancel();
            m_cancel->setEnabled(false);
            showMessage(QStringLiteral("正在取消……"), false);
        } else {
            reject();
        }
    });
    connect(m_audio, &QLineEdit::textChanged, this, &ImportDialog::audioChanged);
    connect(m_audio, &QLineEdit::editingFinished, this, &ImportDialog::readTracks);
    connect(m_text, &QLineEdit::textChanged, this, &ImportDialog::showTracks);
}

QPushButton *ImportDialog::browseButton(const QString &field, const QString &filter,
                                        QLineEdit *target) {
    auto *button = new QPushButton(QStringLiteral("浏览…"), this);
    button->setAccessibleName(QStringLiteral("浏览…"));
    // Three buttons share the caption; a screen reader tells them apart by the field.
    button->setAccessibleDescription(QStringLiteral("选择%1").arg(field));
    button->setToolTip(button->accessibleDescription());
    connect(button, &QPushButton::clicked, this, [this, field, filter, target] {
        const QString start =
            target->text().isEmpty() ? QDir::homePath() : QFileInfo(target->text()).path();
        const QString path =
            chooseFile ? chooseFile(field, filter)
                       : QFileDialog::getOpenFileName(this, QStringLiteral("选择%1").arg(field),
                                                      start, filter);
        if (path.isEmpty())
            return;
        target->setText(QDir::toNativeSeparators(path));
        if (target == m_audio)
            readTracks();
    });
    return button;
}

std::optional<QPoint> ImportDialog::placeBeside(const QRect &keep, const QSize &size,
                                                const QRect &room) {
    const QPoint places[] = {{keep.left(), keep.bottom() + 1},
                             {keep.right() + 1, keep.top()},
                             {keep.left() - size.width(), keep.top()},
                             {keep.left(), keep.top() - size.height()}};
    for (const QPoint &at : places) {
        if (room.contains(QRect(at, size)))
            return at;
    }
    return std::nullopt;
}

void ImportDialog::moveClearOf(const QRect &keep) {
    if (!frameGeometry().intersects(keep))
        return;
    const QScreen *screen = QGuiApplication::screenAt(keep.center());
    if (!screen)
        screen = this->screen();
    if (const auto at = placeBeside(keep, frameGeometry().size(), screen->availableGeometry()))
        move(*at);
}

QStringList ImportDialog::importableBooks(const DataPlaces &places) {
    QStringList books;
    for (const QString &title : bookSelectorTitles(Program::Orvessa, places)) {
        if (isSafeBookTitle(title) &&
            QFileInfo(places.writePath(ContentFile::bookList(title))).isFile())
            books << title;
    }
    return books;
}

void ImportDialog::refreshBooks(const QString &preferred) {
    const QString typed = m_book->currentText();
    const QStringList books = importableBooks(m_places);
    m_book->clear();
    m_book->addItems(books);
    const QString shown = !typed.isEmpty()            ? typed
                          : books.contains(preferred) ? preferred
                                                      : QString();
    m_book->setCurrentIndex(m_book->findText(shown));
    m_book->setEditText(shown);
}

bool ImportDialog::isImporting() const {
    return m_runner->isRunning();
}

void ImportDialog::audioChanged(const QString &path) {
    // The file's own name is the likely lesson name; a name the learner typed stays.
    const QString base = QFileInfo(path.trimmed()).completeBaseName();
    if (m_name->text().isEmpty() || m_name->text() == m_namePrefill) {
        m_name->setText(base);
        m_namePrefill = base;
    }
}

void ImportDialog::readTracks() {
    const QString path = m_audio->text().trimmed();
    if (path == m_tracksOf)
        return;
    m_tracksOf = path;
    m_tracks.clear();
    if (m_tools.subtitleTracks && QFileInfo(path).isFile()) {
        // Picture tracks give no sentences; only text tracks are offered.
        for (const EmbeddedTrack &track : m_tools.subtitleTracks(path)) {
            if (track.text)
                m_tracks.push_back(track);
        }
    }
    m_englishTrack->clear();
    m_chineseTrack->clear();
    m_chineseTrack->addItem(QStringLiteral("不要中文"), ImportRequest::noTrack);
    for (const EmbeddedTrack &track : m_tracks) {
        m_englishTrack->addItem(trackCaption(track), track.stream);
        m_chineseTrack->addItem(trackCaption(track), track.stream);
    }
    // The import's own choice, shown (else the first track, and no Chinese).
    m_englishTrack->setCurrentIndex(
        std::max(0, m_englishTrack->findData(flaggedEnglishTrack(m_tracks))));
    const int englishStream = m_englishTrack->currentData().toInt();
    m_chineseTrack->setCurrentIndex(
        std::max(0, m_chineseTrack->findData(flaggedChineseTrack(m_tracks, englishStream))));
    showTracks();
}

void ImportDialog::showTracks() {
    // The tracks stand in for a subtitle file; with one given they are not used.
    const bool shown = !m_tracks.empty() && m_text->text().trimmed().isEmpty();
    m_englishCaption->setVisible(shown);
    m_englishTrack->setVisible(shown);
    m_chineseCaption->setVisible(shown);
    m_chineseTrack->setVisible(shown);
}

// Why the fields cannot be imported as they are; empty when they can.
QString ImportDialog::refusal() const {
    const QString book = m_book->currentText().trimmed();
    if (m_audio->text().trimmed().isEmpty())
        return QStringLiteral("请先选择音频或视频文件。");
    if (m_text->text().trimmed().isEmpty() && m_tracks.empty())
        return QStringLiteral("请选择字幕或文本文件。");
    if (book.isEmpty())
        return QStringLiteral("请填写书名：选一本书，或输入新书名。");
    if (!isSafeBookTitle(book))
        return QStringLiteral("书名“%1”不能用作文件夹名，请换一个（不要用 / \\ : * ? \" < > | "
                              "等符号）。")
            .arg(book);
    if (m_name->text().trimmed().isEmpty())
        return QStringLiteral("请填写课名。");
    if (m_name->text().contains(u'^'))
        return QStringLiteral("课名里不能有“^”。");
    if (isShippedBookOnly(m_places, book))
        return QStringLiteral("《%1》是随软件安装的书，不能往里添加课程，请换一个书名。").arg(book);
    return {};
}

void ImportDialog::startImport() {
    if (m_runner->isRunning())
        return;
    readTracks(); // a path typed and 导入 pressed at once
    if (const QString why = refusal(); !why.isEmpty()) {
        showMessage(why, true);
        return;
    }
    const QString root = m_places.writeRoot();
    if (!m_places.isPortable() && !DataPlaces::prepareStandardUserFolder(root))
        QDir().mkpath(root); // the learner's folder is ours to make, as the first save does
    ImportRequest request;
    request.dir = root;
    request.book = m_book->currentText().trimmed();
    request.name = m_name->text().trimmed();
    request.audio = QDir::fromNativeSeparators(m_audio->text().trimmed());
    request.subtitles = QDir::fromNativeSeparators(m_text->text().trimmed());
    request.chinese = QDir::fromNativeSeparators(m_chinese->text().trimmed());
    if (request.subtitles.isEmpty() && !m_tracks.empty()) {
        request.englishTrack = m_englishTrack->currentData().toInt();
        request.chineseTrack = m_chineseTrack->currentData().toInt();
    }
    m_runningBook = request.book;
    m_runningName = request.name;
    m_progress->setValue(0);
    showDoubtful({});
    showMessage(QStringLiteral("正在导入《%1》的“%2”……").arg(request.book, request.name), false);
    setRunning(true);
    m_runner->start(std::move(request), m_tools);
}

void ImportDialog::finished(const ImportResult &result) {
    setRunning(false);
    m_cancel->setText(QStringLiteral("关闭")); // nothing left to cancel
    if (result.cancelled) {
        m_progress->setValue(0);
        showMessage(QStringLiteral("已取消导入，没有添加任何文件。"), false);
        return;
    }
    if (!result.error.isEmpty()) {
        m_progress->setValue(0);
        showMessage(result.learnerError.isEmpty()
                        ? QStringLiteral("导入没有完成，没有添加任何文件。请检查所选的文件。")
                        : result.learnerError,
                    true);
        return;
    }
    m_progress->setValue(m_progress->maximum());
    m_name->clear();
    m_namePrefill.clear();
    QString line =
        QStringLiteral("已把“%1”加入《%2》，并已打开。").arg(m_runningName, m_runningBook);
    if (!result.doubtful.empty())
        line += QStringLiteral("有 %1 句的时间可能不准。").arg(result.doubtful.size());
    showMessage(line, false);
    showDoubtful(result.doubtful);
    refreshBooks(m_runningBook);
    Q_EMIT imported(m_runningBook, m_runningName);
}

void ImportDialog::setRunning(bool running) {
    for (QWidget *field : std::as_const(m_fields))
        field->setEnabled(!running);
    m_import->setEnabled(!running);
    m_cancel->setEnabled(true);
    m_cancel->setText(QStringLiteral("取消"));
    if (running)
        m_cancel->setFocus();
}

void ImportDialog::showMessage(const QString &text, bool error) {
    m_message->setText(text);
    m_message->setProperty("error", error);
    m_message->style()->unpolish(m_message);
    m_message->style()->polish(m_message);
    m_message->setAccessibleName(text);
    m_message->setVisible(!text.isEmpty());
}

void ImportDialog::showDoubtful(const std::vector<int> &sentences) {
    for (QPushButton *button : m_doubtfulButtons)
        delete button;
    m_doubtfulButtons.clear();
    constexpr int perRow = 6;
    for (const int sentence : sentences) {
        auto *button = new QPushButton(QStringLiteral("第 %1 句").arg(sentence));
        button->setAccessibleDescription(QStringLiteral("到句子学习的第 %1 句").arg(sentence));
        connect(button, &QPushButton::clicked, this,
                [this, sentence] { Q_EMIT sentenceRequested(sentence); });
        const int k = int(m_doubtfulButtons.size());
        m_doubtfulGrid->addWidget(button, k / perRow, k % perRow);
        m_doubtfulButtons.push_back(button);
    }
    m_doubtful->setVisible(!sentences.empty());
    adjustSize();
}

void ImportDialog::stopRunning() {
    if (!m_runner->isRunning())
        return;
    // The import stops at its next report and takes back what it staged; it may have ended
    // before that, and then the learner hears how.
    std::optional<ImportResult> result = m_runner->stopAndWait();
    if (!result) {
        result.emplace();
        result->cancelled = true;
    }
    finished(*result);
}

void ImportDialog::reject() {
    stopRunning();
    QDialog::reject();
}

void ImportDialog::closeEvent(QCloseEvent *event) {
    stopRunning();
    QDialog::closeEvent(event);
}
