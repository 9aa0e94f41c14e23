#include "desktop/mprisplayer.h"
#include "support/busclient.h"
#include "support/qstringprinter.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <gtest/gtest.h>

using namespace busclient;

namespace {

// The PropertiesChanged signals the player sends, as a client hears them.
class ChangeListener : public QObject {
    Q_OBJECT
public:
    ChangeListener() {
        client().connect(QString(), path, propertiesInterface, QStringLiteral("PropertiesChanged"),
                         this, SLOT(changed(QString, QVariantMap, QStringList)));
        // A round trip to the bus: the match above is in place when it returns.
        client().interface()->isServiceRegistered(service);
    }
    ~ChangeListener() override {
        client().disconnect(QString(), path, propertiesInterface,
                            QStringLiteral("PropertiesChanged"), this,
                            SLOT(changed(QString, QVariantMap, QStringList)));
    }
    QList<QVariantMap> heard;

    // The next signal's changed properties; empty when none came.
    QVariantMap next() {
        waitFor([this] { return !heard.isEmpty(); }, 3000);
        return heard.isEmpty() ? QVariantMap() : heard.takeFirst();
    }

public Q_SLOTS:
    void changed(const QString &interface, const QVariantMap &changed, const QStringList &) {
        if (interface != playerInterface)
            return;
        QVariantMap values;
        for (auto it = changed.begin(); it != changed.end(); ++it) {
            const QVariant value = it.value();
            values.insert(it.key(),
                          value.userType() == qMetaTypeId<QDBusArgument>()
                              ? QVariant(qdbus_cast<QVariantMap>(value.value<QDBusArgument>()))
                              : value);
        }
        heard << values;
    }
};

class MprisPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveBus())
            GTEST_SKIP() << "no session bus (run under dbus-run-session)";
    }

    // Controls that write their name into the log.
    MprisControls logging() {
        const auto log = [this](const char *name) {
            return [this, name] { calls << QString::fromLatin1(name); };
        };
        return {log("playPause"), log("play"),  log("pause"), log("next"),
                log("previous"),  log("raise"), log("quit")};
    }
    std::unique_ptr<MprisPlayer> make(MprisControls controls) {
        return std::make_unique<MprisPlayer>(QStringLiteral("orvessa"), QStringLiteral("Orvessa"),
                                             QStringLiteral("orvessa"), std::move(controls));
    }
    bool nameOnBus() const { return client().interface()->isServiceRegistered(service).value(); }

    QStringList calls;
};

TEST_F(MprisPlayerTest, HoldsItsNameWhileItLivesAndDescribesTheProgram) {
    auto player = make(logging());
    EXPECT_TRUE(player->registered());
    EXPECT_TRUE(nameOnBus());
    EXPECT_EQ(property(rootInterface, QStringLiteral("Identity")).toString(), u"Orvessa");
    EXPECT_EQ(property(rootInterface, QStringLiteral("DesktopEntry")).toString(), u"orvessa");
    EXPECT_TRUE(property(playerInterface, QStringLiteral("CanControl")).toBool());
    EXPECT_EQ(property(playerInterface, QStringLiteral("PlaybackStatus")).toString(), u"Stopped");

    player.reset();
    EXPECT_TRUE(waitFor([this] { return !nameOnBus(); }));
    // The name is free for the next one.
    EXPECT_TRUE(make(logging())->registered());
}

TEST_F(MprisPlayerTest, MethodsRunTheirControls) {
    auto player = make(logging());
    ASSERT_TRUE(player->registered());
    const struct {
        const char *method;
        QString interface;
        const char *control;
    } rows[] = {
        {"PlayPause", playerInterface, "playPause"}, {"Play", playerInterface, "play"},
        {"Pause", playerInterface, "pause"},         {"Stop", playerInterface, "pause"},
        {"Next", playerInterface, "next"},           {"Previous", playerInterface, "previous"},
        {"Raise", rootInterface, "raise"},           {"Quit", rootInterface, "quit"},
    };
    for (const auto &row : rows) {
        calls.clear();
        const QDBusMessage reply = call(row.interface, QString::fromLatin1(row.method));
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << row.method;
        waitFor([this] { return !calls.isEmpty(); }, 2000); // Quit runs after its reply
        EXPECT_EQ(calls, QStringList{QString::fromLatin1(row.control)}) << row.method;
    }
}

TEST_F(MprisPlayerTest, CanPropertiesFollowTheControlsGiven) {
    MprisControls some;
    some.playPause = [this] { calls << QStringLiteral("playPause"); };
    some.next = [this] { calls << QStringLiteral("next"); };
    auto player = make(some);
    ASSERT_TRUE(player->registered());
    const struct {
        QString interface;
        const char *name;
        bool value;
    } rows[] = {
        {playerInterface, "CanPlay", true},  // PlayPause starts playback
        {playerInterface, "CanPause", true}, // and pauses it
        {playerInterface, "CanGoNext", true}, {playerInterface, "CanGoPrevious", false},
        {rootInterface, "CanRaise", false},   {rootInterface, "CanQuit", false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(property(row.interface, QString::fromLatin1(row.name)).toBool(), row.value)
            << row.name;

    // Methods without a control answer and do nothing.
    for (const char *method : {"Previous", "Play", "Pause"})
        EXPECT_EQ(call(playerInterface, QString::fromLatin1(method)).type(),
                  QDBusMessage::ReplyMessage);
    EXPECT_TRUE(calls.isEmpty());

    // The window's last sentence: no next one until told again.
    player->setNavigation(false, true);
    EXPECT_FALSE(property(playerInterface, QStringLiteral("CanGoNext")).toBool());
    EXPECT_FALSE(property(playerInterface, QStringLiteral("CanGoPrevious")).toBool());
    call(playerInterface, QStringLiteral("Next"));
    EXPECT_TRUE(calls.isEmpty());
    player->setNavigation(true, true);
    call(playerInterface, QStringLiteral("Next"));
    EXPECT_EQ(calls, QStringList{QStringLiteral("next")});
}

TEST_F(MprisPlayerTest, ChangedStateIsAnnouncedOnce) {
    auto player = make(logging());
    ASSERT_TRUE(player->registered());
    ChangeListener listener;

    player->setPlaybackStatus(MprisPlayer::Status::Playing);
    EXPECT_EQ(listener.next(),
              (QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}}));
    player->setPlaybackStatus(MprisPlayer::Status::Playing); // no change, no signal
    player->setPlaybackStatus(MprisPlayer::Status::Paused);
    EXPECT_EQ(listener.next().value(QStringLiteral("PlaybackStatus")).toString(), u"Paused");
    EXPECT_EQ(property(playerInterface, QStringLiteral("PlaybackStatus")).toString(), u"Paused");

    player->setMetadata(QStringLiteral("Lesson 2"), QStringLiteral("Excuse me!"),
                        QStringLiteral("英语900句"));
    const QVariantMap first = listener.next().value(QStringLiteral("Metadata")).toMap();
    EXPECT_EQ(first.value(QStringLiteral("xesam:title")).toString(), u"Lesson 2");
    EXPECT_EQ(first.value(QStringLiteral("xesam:album")).toString(), u"英语900句");
    EXPECT_EQ(first.value(QStringLiteral("xesam:comment")).toStringList(),
              QStringList{QStringLiteral("Excuse me!")});
    const QString firstTrack =
        first.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
    EXPECT_TRUE(firstTrack.startsWith(u'/')) << firstTrack.toStdString();
    EXPECT_EQ(property(playerInterface, QStringLiteral("Metadata")).toMap(), first);

    player->setMetadata(QStringLiteral("Lesson 2"), QStringLiteral("Excuse me!"),
                        QStringLiteral("英语900句")); // unchanged
    player->setMetadata(QStringLiteral("Lesson 2"), QStringLiteral("Is this your handbag?"),
                        QStringLiteral("英语900句"));
    const QVariantMap second = listener.next().value(QStringLiteral("Metadata")).toMap();
    EXPECT_EQ(second.value(QStringLiteral("xesam:comment")).toStringList(),
              QStringList{QStringLiteral("Is this your handbag?")});
    EXPECT_NE(second.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              firstTrack);
    // Nothing more was sent for the repeated values.
    waitFor([] { return false; }, 200);
    EXPECT_TRUE(listener.heard.isEmpty());
}

TEST_F(MprisPlayerTest, ANameHeldElsewhereLeavesThePlayerOffTheBus) {
    QDBusConnection other = client();
    ASSERT_TRUE(other.registerService(service));
    auto player = make(logging());
    EXPECT_FALSE(player->registered());
    player->setPlaybackStatus(MprisPlayer::Status::Playing);
    player->setMetadata(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"));
    other.unregisterService(service);
}

} // namespace

#include "mprisplayer_test.moc"
