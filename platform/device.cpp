// The device widget, its periodic timers and the framebuffer it is drawn through.
#include <cstdlib>
#include <cstring>

#include "platform/internal.h"
#include "platform/testdriver.h"

// The device screen as the game writes it, in the display's own orientation.
alignas(8) uint8_t framebuffer[FRAMEBUFFER_BYTES];
std::vector<DeviceTimer> timers;
bool manualTimer = false;
std::vector<DeviceWidget::Host*> hosts;

namespace {
int nextTimerId = 1;
} // namespace

DeviceWidget::Host* currentHost() {
    return hosts.empty() ? nullptr : hosts.back();
}

DeviceWidget::DeviceWidget(const char* name, int flags) {
    host_ = new Host(this, DirectPainter::transformOrientation());
    host_->setObjectName(QString::fromLatin1(name ? name : ""));
    host_->flags = flags;
    hosts.push_back(host_);
}

DeviceWidget::~DeviceWidget() {
    for (size_t i = 0; i < timers.size();) {
        if (timers[i].widget == this) {
            if (timers[i].qtId)
                host_->killTimer(timers[i].qtId);
            timers.erase(timers.begin() + long(i));
        } else {
            ++i;
        }
    }
    std::erase(hosts, host_);
    delete host_;
}

void DeviceWidget::setCaption(const char* latin1) {
    host_->caption = QByteArray(latin1 ? latin1 : "");
    host_->setWindowTitle(QString::fromLatin1(host_->caption));
}

const char* DeviceWidget::caption() const {
    return host_->caption.constData();
}

void DeviceWidget::setFixedSize(int w, int h) {
    if (w == host_->clientWidth && h == host_->clientHeight)
        return;
    host_->clientWidth = w;
    host_->clientHeight = h;
    resizeEvent();
}

void DeviceWidget::showNormal() {
    host_->fullScreen = false;
    host_->visible = true;
    host_->show();
}

void DeviceWidget::setWFlags(int flags) {
    host_->flags = flags;
}

// Full screen on the device means covering the whole device screen; on the
// desktop the host window stays an ordinary window that shows that screen.
void DeviceWidget::showFullScreen() {
    ++host_->fullScreenCalls;
    host_->fullScreen = true;
    host_->visible = true;
    host_->show();
}

bool DeviceWidget::isVisible() const { return host_->visible; }
bool DeviceWidget::isActiveWindow() const { return host_->active; }
bool DeviceWidget::isFullScreen() const { return host_->fullScreen; }
int DeviceWidget::width() const { return host_->clientWidth; }
int DeviceWidget::height() const { return host_->clientHeight; }

int DeviceWidget::startTimer(int ms) {
    DeviceTimer t{this, nextTimerId++, 0};
    if (!manualTimer)
        t.qtId = host_->startTimer(ms, Qt::PreciseTimer);
    timers.push_back(t);
    return t.id;
}

int desktopWidth() { return DEVICE_WIDTH; }
int desktopHeight() { return DEVICE_HEIGHT; }

DirectPainter::DirectPainter(DeviceWidget*) {}

DirectPainter::~DirectPainter() {
    for (DeviceWidget::Host* h : hosts)
        h->present();
}

uint8_t* DirectPainter::frameBuffer() {
    return framebuffer;
}

int DirectPainter::transformOrientation() {
    if (hostLaunch.orientation >= 0)
        return hostLaunch.orientation;
    const char* display = std::getenv("QWS_DISPLAY");
    if (!display || !std::strstr(display, "Transformed"))
        return 0;
    if (std::strstr(display, "Rot90"))
        return 1;
    if (std::strstr(display, "Rot180"))
        return 2;
    if (std::strstr(display, "Rot270"))
        return 3;
    return 0;
}

uint8_t* testdriver::deviceFrameBuffer() {
    return framebuffer;
}

int testdriver::showFullScreenCalls(const DeviceWidget* w) {
    return w->host()->fullScreenCalls;
}
