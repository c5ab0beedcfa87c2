#include "player/TransportBar.h"
#include "player/TransportIcons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QToolButton *makeButton(QWidget *bar, const char *name, TransportIcons::Kind icon, const QString &tip)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setIcon(TransportIcons::icon(icon));
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setIconSize(QSize(14, 14));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}
} // namespace

TransportBar::TransportBar(QWidget *player) : QWidget(player)
{
    setObjectName(QStringLiteral("transportBar"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(32, 32, 40));
    setPalette(pal);

    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->setRange(0, 0);
    m_position->setFocusPolicy(Qt::NoFocus);
    m_position->hide();
    m_playButton = makeButton(this, "playButton", TransportIcons::Play, tr("Afspelen"));
    m_stopButton = makeButton(this, "stopButton", TransportIcons::Stop, tr("Stoppen"));
    m_muteButton = makeButton(this, "muteButton", TransportIcons::Sound, tr("Geluid uit"));
    m_muteButton->setCheckable(true);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setRange(0, 100);
    m_volume->setFixedWidth(48);
    m_volume->setFocusPolicy(Qt::NoFocus);
    m_volume->setToolTip(tr("Volume"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    QFont small = m_status->font();
    small.setPointSizeF(qMax(6.0, small.pointSizeF() - 1.5));
    m_status->setFont(small);
    m_status->setMinimumWidth(10);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->installEventFilter(this);

    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(2, 1, 2, 1);
    rows->setSpacing(0);
    rows->addWidget(m_position);
    auto *controls = new QHBoxLayout;
    controls->setSpacing(2);
    controls->addWidget(m_playButton);
    controls->addWidget(m_stopButton);
    controls->addWidget(m_muteButton);
    controls->addWidget(m_volume);
    controls->addSpacing(4);
    controls->addWidget(m_status, 1); // last: the windows may lay a button over the bar's right end
    rows->addLayout(controls);

    connect(m_playButton, &QToolButton::clicked, this, &TransportBar::playPauseClicked);
    connect(m_stopButton, &QToolButton::clicked, this, &TransportBar::stopClicked);
    // Clicks only: setMuted() shows a state, it does not ask for one.
    connect(m_muteButton, &QToolButton::clicked, this, &TransportBar::muteToggled);
    connect(m_volume, &QSlider::valueChanged, this, &TransportBar::volumeChanged);
    connect(m_position, &QSlider::sliderReleased, this, [this] { emit seekRequested(m_position->value()); });
}

void TransportBar::setMode(const QString &uiMode)
{
    m_full = uiMode == QLatin1String("full");
    setVisible(m_full || uiMode == QLatin1String("mini"));
    m_position->setVisible(m_full && m_seekable);
}

void TransportBar::setRunning(bool running)
{
    m_playButton->setIcon(TransportIcons::icon(running ? TransportIcons::Pause : TransportIcons::Play));
    m_playButton->setToolTip(running ? tr("Pauzeren") : tr("Afspelen"));
}

void TransportBar::setMuted(bool muted)
{
    if (m_muteButton->isChecked() != muted)
        m_muteButton->setChecked(muted);
    m_muteButton->setIcon(TransportIcons::icon(muted ? TransportIcons::Muted : TransportIcons::Sound));
    m_muteButton->setToolTip(muted ? tr("Geluid aan") : tr("Geluid uit"));
}

void TransportBar::setVolume(int volume)
{
    if (m_volume->value() != volume)
        m_volume->setValue(volume);
}

void TransportBar::setProgress(double position, double duration, bool seekable)
{
    m_seekable = seekable && duration > 0;
    if (m_seekable) {
        if (m_position->maximum() != int(duration))
            m_position->setRange(0, int(duration));
        if (!m_position->isSliderDown())
            m_position->setValue(int(position));
    }
    m_position->setVisible(m_full && m_seekable);
}

void TransportBar::setStatus(const QString &text, const QString &toolTip)
{
    m_statusText = text;
    m_status->setToolTip(toolTip.isEmpty() ? text : toolTip);
    fitStatus();
}

int TransportBar::visibleStatusWidth() const
{
    int width = m_status->contentsRect().width();
    QWidget *player = parentWidget();
    QWidget *host = player ? player->parentWidget() : nullptr;
    if (!host || player->isWindow())
        return width;
    // Siblings created or raised after the player lie above it.
    const QRect status(m_status->mapTo(host, QPoint(0, 0)), m_status->size());
    const QObjectList &siblings = host->children();
    for (qsizetype i = siblings.indexOf(player) + 1; i < siblings.size(); ++i) {
        auto *w = qobject_cast<QWidget *>(siblings.at(i));
        if (w && !w->isHidden() && !w->isWindow() && w->geometry().intersects(status))
            width = qMin(width, w->x() - status.x());
    }
    return qMax(0, width);
}

void TransportBar::fitStatus()
{
    const QString shown = m_status->fontMetrics().elidedText(m_statusText, Qt::ElideRight, visibleStatusWidth());
    if (shown != m_status->text())
        m_status->setText(shown);
}

bool TransportBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_status && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        fitStatus();
    return QWidget::eventFilter(watched, event);
}
