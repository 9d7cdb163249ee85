#include "TrackSettingsDialog.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>

#include "AudioFileLoader.h"
#include "BindingsFile.h"
#include "FileDialog.h"
#include "Fonts.h"
#include "MessageReporter.h"
#include "NoQuoteValidator.h"
#include "PlayerMessages.h"
#include "ProgramLauncher.h"
#include "SysColors.h"
#include "TrackTags.h"
#include "Twips.h"

#include <QDropEvent>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPromise>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <algorithm>
#include <system_error>
#include <thread>

namespace {

constexpr int kButtonFace = 15;
constexpr int kShortNameMaxLength = 20;
constexpr double kControlPoints = 9.0;

constexpr double rowTop(int16_t i)
{
    return 480.0 + 240.0 * i;
}

QLabel *makeLabel(const QString &text, QWidget *parent, const QString &name)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(songTiFont(kControlPoints));
    return label;
}

QPushButton *makeButton(const QString &text, QWidget *parent, const QString &name)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFont(songTiFont(kControlPoints));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QString indexed(const char *name, int16_t i)
{
    return QStringLiteral("%1_%2").arg(QString::fromUtf8(name)).arg(i);
}

// Text the bindings file can carry: no double quote, line breaks as spaces.
QString storable(QString text)
{
    text.remove(QLatin1Char('"'));
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

// The first maxLength UTF-16 units of text, less one where the cut would
// split a surrogate pair.
QString cutTo(const QString &text, int maxLength)
{
    if (text.size() <= maxLength) {
        return text;
    }
    const qsizetype end = text.at(maxLength - 1).isHighSurrogate() ? maxLength - 1 : maxLength;
    return text.left(end);
}

// The name a dropped track gives an empty name box: its title tag, else its
// file name without the extension; cut to what the box holds.
QString trackName(const QString &path, const std::optional<QString> &title, int maxLength)
{
    QString name = storable(title.value_or(QString()));
    if (name.isEmpty()) {
        name = storable(QFileInfo(path).completeBaseName());
    }
    return cutTo(name, maxLength);
}

} // namespace

namespace plovi {

// What the probe found a dropped URL to be; text is the URL as shown where
// it is not a local file, else the path.
struct DropProbe
{
    enum class Kind { NotLocal, Refused, Folder, NotAudio, Track };
    Kind kind;
    QString text;
    std::optional<QString> title;
};

namespace {

// Runs on a worker: a stat or a read of a share that stopped answering holds
// up nothing but this.
std::vector<DropProbe> probeDrop(const QList<QUrl> &urls)
{
    std::vector<DropProbe> found;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile()) {
            found.push_back({DropProbe::Kind::NotLocal, url.toDisplayString(), {}});
            continue;
        }
        const QString path = url.toLocalFile();
        if (!NoQuoteValidator::isStorable(path)) {
            found.push_back({DropProbe::Kind::Refused, path, {}});
        } else if (QFileInfo(path).isDir()) {
            found.push_back({DropProbe::Kind::Folder, path, {}});
        } else if (const Result<audio::TrackTags> tags = audio::TrackTags::read(path); !tags) {
            found.push_back({DropProbe::Kind::NotAudio, path, {}});
        } else {
            found.push_back({DropProbe::Kind::Track, path, tags->title()});
        }
    }
    return found;
}

} // namespace

TrackSettingsDialog::TrackSettingsDialog(const PlayerServices &services, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint), m_services(services),
      m_cdiag(services.makeFileDialog(this)),
      m_label1(makeLabel(QStringLiteral("歌曲所在完整路径："), this, QStringLiteral("Label1"))),
      m_label2(makeLabel(QStringLiteral("预置："), this, QStringLiteral("Label2"))),
      m_label3(makeLabel(QStringLiteral("歌曲名称："), this, QStringLiteral("Label3"))),
      m_cmdExit(makeButton(QStringLiteral("保存并退出"), this, QStringLiteral("CmdExit"))),
      m_command1(makeButton(QStringLiteral("关于"), this, QStringLiteral("Command1"))),
      m_cmdCancel(makeButton(QStringLiteral("取消"), this, QStringLiteral("CmdCancel")))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Plovi"));
    if (parent != nullptr) {
        setWindowIcon(parent->windowIcon());
    }
    setModal(true);
    setFont(songTiFont(10.5));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toQColor(sysColor(kButtonFace)));
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(twips::toPixelsX(8040), twips::toPixelsY(4755));

    twips::setGeometry(m_label1, 210, 210, 1620, 180);
    twips::setGeometry(m_label2, 4980, 210, 555, 180);
    m_label2->setAlignment(Qt::AlignCenter);
    twips::setGeometry(m_label3, 5700, 210, 900, 180);
    for (QLabel *label : {m_label1, m_label2, m_label3}) {
        const QSize needed = label->sizeHint();
        label->resize(std::max(label->width(), needed.width()), needed.height());
    }

    buildRows();
    twips::setGeometry(m_cmdExit, 900, 4230, 1605, 375);
    twips::setGeometry(m_command1, 2940, 4230, 1605, 375);
    twips::setGeometry(m_cmdCancel, 5100, 4230, 1605, 375);
    connect(m_cmdExit, &QPushButton::clicked, this, &TrackSettingsDialog::CmdExit_Click);
    connect(m_command1, &QPushButton::clicked, this, &TrackSettingsDialog::Command1_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &TrackSettingsDialog::CmdCancel_Click);
    setTabOrder();

    Form_Load();
}

TrackSettingsDialog::~TrackSettingsDialog() = default;

void TrackSettingsDialog::buildRows()
{
    const QColor rowNumberColour = toQColor(0xFF0000); // RGB(0,0,255)
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        QLabel *number = makeLabel(QString(), this, indexed("LblTrackNo", i));
        twips::setGeometry(number, 90, rowTop(i) + 30, 855, 255);
        number->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        QPalette pal = number->palette();
        pal.setColor(QPalette::WindowText, rowNumberColour);
        number->setPalette(pal);
        m_lblTrackNo[i] = number;
        number->setAcceptDrops(true);
        number->installEventFilter(this);

        auto *path = new QLineEdit(this);
        path->setObjectName(indexed("完整路经", i));
        path->setFont(songTiFont(kControlPoints));
        path->setValidator(new NoQuoteValidator(path));
        twips::setGeometry(path, 930, rowTop(i), 4000, 285);
        path->setAcceptDrops(true);
        path->installEventFilter(this);
        m_fullPath[i] = path;

        QPushButton *find = makeButton(QStringLiteral("浏览"), this, indexed("CmdFindTrack", i));
        twips::setGeometry(find, 4980, i == kTrackSlots - 1 ? 3870 : rowTop(i), 585, 255);
        connect(find, &QPushButton::clicked, this, [this, i] { CmdFindTrack_Click(i); });
        m_cmdFindTrack[i] = find;

        auto *name = new QLineEdit(this);
        name->setObjectName(indexed("TxtShortName", i));
        name->setFont(songTiFont(kControlPoints));
        name->setMaxLength(kShortNameMaxLength);
        name->setValidator(new NoQuoteValidator(name));
        twips::setGeometry(name, 5670, rowTop(i), 1545, 285);
        name->setAcceptDrops(true);
        name->installEventFilter(this);
        m_shortName[i] = name;

        QPushButton *remove = makeButton(QStringLiteral("删除"), this, indexed("CmdDelete", i));
        twips::setGeometry(remove, 7260, rowTop(i), 645, 255);
        connect(remove, &QPushButton::clicked, this, [this, i] { CmdDelete_Click(i); });
        m_cmdDelete[i] = remove;
    }
}

void TrackSettingsDialog::setTabOrder()
{
    constexpr int16_t kFirstBlock = 12;
    std::vector<QWidget *> order;
    for (int16_t i = 0; i < kFirstBlock; ++i) {
        order.push_back(m_fullPath[i]);
    }
    for (int16_t i = 0; i < kFirstBlock; ++i) {
        order.push_back(m_cmdFindTrack[i]);
    }
    for (int16_t i = 0; i < kFirstBlock; ++i) {
        order.push_back(m_shortName[i]);
    }
    order.push_back(m_cmdCancel);
    order.push_back(m_cmdExit);
    for (int16_t i = 0; i < kFirstBlock; ++i) {
        order.push_back(m_cmdDelete[i]);
    }
    for (int16_t i = kFirstBlock; i < kTrackSlots; ++i) {
        order.push_back(m_fullPath[i]);
    }
    for (int16_t i = kFirstBlock; i < kTrackSlots; ++i) {
        order.push_back(m_cmdFindTrack[i]);
    }
    for (int16_t i = kFirstBlock; i < kTrackSlots; ++i) {
        order.push_back(m_shortName[i]);
    }
    for (int16_t i = kFirstBlock; i < kTrackSlots; ++i) {
        order.push_back(m_cmdDelete[i]);
    }
    order.push_back(m_command1);
    for (size_t k = 1; k < order.size(); ++k) {
        QWidget::setTabOrder(order[k - 1], order[k]);
    }
}

void TrackSettingsDialog::Form_Load()
{
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        m_lblTrackNo[i]->setText(QStringLiteral("轨迹 %1").arg(i + 1, 2, 10, QLatin1Char('0')));
    }
}

void TrackSettingsDialog::setRecords(const std::vector<TrackBinding> &records)
{
    const size_t count = std::min(records.size(), static_cast<size_t>(kTrackSlots));
    for (size_t k = 0; k < count; ++k) {
        m_fullPath[k]->setText(records[k].FullPath);
        m_shortName[k]->setText(records[k].ShortName);
    }
}

void TrackSettingsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *screen = this->screen(); screen != nullptr) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    m_fullPath[0]->setFocus(Qt::OtherFocusReason);
}

void TrackSettingsDialog::keyPressEvent(QKeyEvent *event)
{
    // No button answers Enter or Escape, and Escape does not close the dialog.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool TrackSettingsDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Dropped files are taken here before a box would insert their URLs as
    // text; other drags (text into a box) go on as usual.
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return QDialog::eventFilter(watched, event);
    }
    auto *drop = static_cast<QDropEvent *>(event);
    if (m_saving) {
        drop->ignore();
        return true;
    }
    const int16_t row = dropRow(watched);
    if (row < 0 || drop->mimeData() == nullptr || !drop->mimeData()->hasUrls()) {
        return QDialog::eventFilter(watched, event);
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        dropFiles(row, drop->mimeData()->urls());
    }
    return true;
}

int16_t TrackSettingsDialog::dropRow(const QObject *w) const
{
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        if (w == m_lblTrackNo[i] || w == m_fullPath[i] || w == m_shortName[i]) {
            return i;
        }
    }
    return -1;
}

void TrackSettingsDialog::dropFiles(int16_t row, const QList<QUrl> &urls)
{
    // A newer drop abandons the probe of an older one still running, and so
    // does the dialog's unload.
    auto *watcher = new QFutureWatcher<std::vector<DropProbe>>();
    m_dropProbe.reset(watcher);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, row] {
        // The watcher is the sender: deleted once this has returned.
        m_dropProbe.release()->deleteLater();
        if (watcher->future().resultCount() > 0) {
            placeDroppedFiles(row, watcher->result());
        }
    });
    QPromise<std::vector<DropProbe>> promise;
    watcher->setFuture(promise.future());
    auto probe = [urls, answer = std::move(promise)]() mutable {
        answer.start();
        answer.addResult(probeDrop(urls));
        answer.finish();
    };
    try {
        // Detached: a probe stuck on a dead mount holds up nothing, not even
        // the end of the program.
        std::thread(std::move(probe)).detach();
    } catch (const std::system_error &) {
        probe();
    }
}

void TrackSettingsDialog::placeDroppedFiles(int16_t row, const std::vector<DropProbe> &found)
{
    QStringList told;
    std::vector<DropProbe> tracks;
    for (const DropProbe &probe : found) {
        switch (probe.kind) {
        case DropProbe::Kind::NotLocal:
            told << PlayerMessages::dropNotLocal(probe.text);
            break;
        case DropProbe::Kind::Refused:
            told << PlayerMessages::pathRefused(probe.text);
            break;
        case DropProbe::Kind::Folder:
            told << PlayerMessages::dropFolder(probe.text);
            break;
        case DropProbe::Kind::NotAudio:
            told << PlayerMessages::dropNotAudio(probe.text);
            break;
        case DropProbe::Kind::Track:
            tracks.push_back(probe);
            break;
        }
    }

    int leftOver = 0;
    int16_t target = row;
    for (size_t k = 0; k < tracks.size(); ++k) {
        if (k > 0) {
            do {
                ++target;
            } while (target < kTrackSlots && !trimSpaces(m_fullPath[target]->text()).isEmpty());
        }
        if (target >= kTrackSlots) {
            leftOver = static_cast<int>(tracks.size() - k);
            break;
        }
        m_fullPath[target]->setText(tracks[k].text);
        QLineEdit *name = m_shortName[target];
        if (name->text().isEmpty()) {
            name->setText(trackName(tracks[k].text, tracks[k].title, name->maxLength()));
        }
    }
    if (leftOver > 0) {
        told << PlayerMessages::dropLeftOver(leftOver);
    }
    if (!told.isEmpty()) {
        // The drop has ended by now, so the program the files came from is
        // not held up by the message box.
        m_services.messages.showError(this, {}, told.join(QLatin1Char('\n')));
    }
}

void TrackSettingsDialog::CmdFindTrack_Click(int16_t index)
{
    const QString previous = m_cdiag->fileName();
    m_cdiag->setFilter(PlayerMessages::trackFileFilter(audio::AudioFileLoader::fileNamePatterns()));
    if (!m_cdiag->showOpen()) {
        return;
    }
    const QString picked = trimSpaces(m_cdiag->fileName());
    if (!NoQuoteValidator::isStorable(picked)) {
        m_cdiag->setFileName(previous);
        m_services.messages.showError(this, {}, PlayerMessages::pathRefused(picked));
        return;
    }
    m_fullPath[index]->setText(picked);
}

void TrackSettingsDialog::CmdDelete_Click(int16_t index)
{
    m_shortName[index]->setText(QString());
    m_fullPath[index]->setText(QString());
}

QString TrackSettingsDialog::savePath() const
{
    return m_services.bindingsSavePath.isEmpty() ? m_services.bindingsPath
                                                 : m_services.bindingsSavePath;
}

void TrackSettingsDialog::CmdExit_Click()
{
    if (m_saving) {
        return;
    }
    if (m_services.savesNowhere) {
        m_services.messages.showError(this, {}, PlayerMessages::saveNowhere());
        return;
    }
    std::vector<TrackBinding> rows;
    rows.reserve(kTrackSlots);
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        rows.push_back({m_fullPath[i]->text(), m_shortName[i]->text()});
    }
    const bool accepted = m_toldRows == rows;
    BindingsFileSave::Request request{m_services.currentBindingsPath(),
                                      savePath(),
                                      !m_services.bindingsSavePath.isEmpty(),
                                      std::move(rows),
                                      kShortNameMaxLength,
                                      accepted};

    // The result comes back through the watcher, which this dialog owns: a
    // dialog destroyed meanwhile drops it, and the save itself runs to its
    // end (the application waits for the pool's threads when it quits).
    auto promise = std::make_shared<QPromise<BindingsFileSave::Outcome>>();
    auto *watcher = new QFutureWatcher<BindingsFileSave::Outcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        saveFinished(watcher->result());
    });
    watcher->setFuture(promise->future());
    setSaving(true);
    promise->start();
    QThreadPool::globalInstance()->start([promise, request = std::move(request)] {
        promise->addResult(BindingsFileSave::run(request));
        promise->finish();
    });
}

void TrackSettingsDialog::saveFinished(const BindingsFileSave::Outcome &outcome)
{
    setSaving(false);
    switch (outcome.status) {
    case BindingsFileSave::Status::Saved:
        emit saved(outcome.records);
        accept();
        return;
    case BindingsFileSave::Status::Unwritable:
        m_services.messages.showError(this, {},
                                      PlayerMessages::saveUnwritable(savePath(), outcome.rows));
        return;
    case BindingsFileSave::Status::WouldChange: {
        std::vector<TrackBinding> rows;
        for (int16_t i = 0; i < kTrackSlots; ++i) {
            rows.push_back({m_fullPath[i]->text(), m_shortName[i]->text()});
        }
        m_toldRows = std::move(rows);
        m_services.messages.showError(this, {},
                                      PlayerMessages::saveWouldChange(savePath(), outcome.rows,
                                                                      outcome.cut,
                                                                      kShortNameMaxLength));
        return;
    }
    case BindingsFileSave::Status::Failed:
        m_services.messages.showError(this, {},
                                      PlayerMessages::saveFailed(savePath(), outcome.reason));
        return;
    }
}

void TrackSettingsDialog::setSaving(bool saving)
{
    m_saving = saving;
    m_cmdExit->setText(saving ? PlayerMessages::saving() : QStringLiteral("保存并退出"));
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setEnabled(!saving);
    }
    for (QLineEdit *box : findChildren<QLineEdit *>()) {
        box->setReadOnly(saving);
    }
}

void TrackSettingsDialog::done(int result)
{
    if (!m_saving) {
        QDialog::done(result);
    }
}

void TrackSettingsDialog::CmdCancel_Click()
{
    reject();
}

void TrackSettingsDialog::Command1_Click()
{
    const QString name = QStringLiteral("Nobix.exe");
    if (const Result<void> started = m_services.launcher.launchProgram(name); !started) {
        m_services.messages.showError(this, {},
                                      PlayerMessages::launchFailed(name, started.error()));
    }
}

} // namespace plovi
