#include "capture/devicedialogs.h"

#include "capture/DXCapture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <gst/gst.h>

TV4l2ControlsDialog::TV4l2ControlsDialog(IV4l2Device &device, QWidget *parent)
    : QDialog(parent), m_device(device), m_tabs(new QTabWidget(this))
{
    setWindowTitle(QStringLiteral("Video Capture Filter"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    QList<unsigned> classes;
    QList<QFormLayout *> pages;
    for (const TV4l2Control &c : m_device.Controls()) {
        qsizetype tab = classes.indexOf(c.ClassId);
        if (tab < 0) {
            auto *page = new QWidget(m_tabs);
            pages.append(new QFormLayout(page));
            classes.append(c.ClassId);
            const QString title = m_device.ClassName(c.ClassId);
            m_tabs->addTab(page, title.isEmpty() ? QStringLiteral("Controls") : title);
            tab = classes.size() - 1;
        }
        QWidget *w = controlWidget(c);
        w->setObjectName(c.Name);
        w->setEnabled(!c.ReadOnly);
        pages[tab]->addRow(c.Type == TV4l2ControlType::Boolean || c.Type == TV4l2ControlType::Button
                               ? QString()
                               : c.Name,
                           w);
    }
}

QWidget *TV4l2ControlsDialog::controlWidget(const TV4l2Control &c)
{
    const unsigned id = c.Id;
    switch (c.Type) {
    case TV4l2ControlType::Boolean: {
        auto *box = new QCheckBox(c.Name);
        box->setChecked(c.Value != 0);
        connect(box, &QCheckBox::toggled, this,
                [this, id](bool on) { m_device.SetControl(id, on ? 1 : 0); });
        return box;
    }
    case TV4l2ControlType::Menu: {
        auto *combo = new QComboBox;
        for (const TV4l2MenuItem &item : c.Menu)
            combo->addItem(item.Name, item.Index);
        combo->setCurrentIndex(combo->findData(c.Value));
        connect(combo, &QComboBox::activated, this, [this, id, combo](int index) {
            m_device.SetControl(id, combo->itemData(index).toInt());
        });
        return combo;
    }
    case TV4l2ControlType::Button: {
        auto *button = new QPushButton(c.Name);
        connect(button, &QPushButton::clicked, this, [this, id] { m_device.SetControl(id, 1); });
        return button;
    }
    case TV4l2ControlType::Integer:
        break;
    }
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setRange(c.Minimum, c.Maximum);
    slider->setSingleStep(c.Step);
    slider->setPageStep(qMax(c.Step, (c.Maximum - c.Minimum) / 10));
    slider->setValue(c.Value);
    connect(slider, &QSlider::valueChanged, this,
            [this, id](int value) { m_device.SetControl(id, value); });
    return slider;
}

QString TCaptureFormat::Caps() const
{
    QString caps = Media;
    if (!Format.isEmpty())
        caps += QStringLiteral(",format=(string)%1").arg(Format);
    caps += QStringLiteral(",width=(int)%1,height=(int)%2").arg(Width).arg(Height);
    if (RateNum > 0)
        caps += QStringLiteral(",framerate=(fraction)%1/%2").arg(RateNum).arg(RateDen);
    return caps;
}

QString TCaptureFormat::Text() const
{
    const QString format = Format.isEmpty() ? QStringLiteral("MJPG") : Format;
    QString text = QStringLiteral("%1 %2 x %3").arg(format).arg(Width).arg(Height);
    if (RateNum > 0) {
        const double fps = double(RateNum) / double(RateDen > 0 ? RateDen : 1);
        text += QStringLiteral(", %1 fps").arg(fps, 0, 'g', 4);
    }
    return text;
}

namespace {

// Every frame rate a field states: a fraction, a list of them, or a range (its top).
QList<std::pair<int, int>> ratesOf(const GValue *v)
{
    QList<std::pair<int, int>> rates;
    if (!v)
        return rates;
    if (GST_VALUE_HOLDS_FRACTION(v)) {
        rates.append({gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v)});
    } else if (GST_VALUE_HOLDS_LIST(v)) {
        for (guint i = 0; i < gst_value_list_get_size(v); ++i)
            rates += ratesOf(gst_value_list_get_value(v, i));
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
        rates += ratesOf(gst_value_get_fraction_range_max(v));
    }
    return rates;
}

} // namespace

QList<TCaptureFormat> CaptureFormatsFromCaps(const QString &text)
{
    QList<TCaptureFormat> formats;
    if (!EnsureGStreamer())
        return formats;
    GstCaps *caps = gst_caps_from_string(text.toUtf8().constData());
    if (!caps)
        return formats;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure *s = gst_caps_get_structure(caps, i);
        const QString media = QString::fromUtf8(gst_structure_get_name(s));
        if (media != QLatin1String("video/x-raw") && media != QLatin1String("image/jpeg"))
            continue;
        int w = 0, h = 0;
        if (!gst_structure_get_int(s, "width", &w) || !gst_structure_get_int(s, "height", &h))
            continue; // a size range is no one format
        QStringList pixelFormats;
        if (const GValue *f = gst_structure_get_value(s, "format")) {
            if (G_VALUE_HOLDS_STRING(f))
                pixelFormats << QString::fromUtf8(g_value_get_string(f));
            else if (GST_VALUE_HOLDS_LIST(f))
                for (guint k = 0; k < gst_value_list_get_size(f); ++k)
                    if (const GValue *e = gst_value_list_get_value(f, k); G_VALUE_HOLDS_STRING(e))
                        pixelFormats << QString::fromUtf8(g_value_get_string(e));
        }
        if (pixelFormats.isEmpty())
            pixelFormats << QString();
        QList<std::pair<int, int>> rates = ratesOf(gst_structure_get_value(s, "framerate"));
        if (rates.isEmpty())
            rates.append({0, 1});
        for (const QString &pf : pixelFormats)
            for (const auto &[num, den] : rates) {
                const TCaptureFormat f{media, pf, w, h, num, den};
                if (!formats.contains(f))
                    formats.append(f);
            }
    }
    gst_caps_unref(caps);
    return formats;
}

TCaptureFormatDialog::TCaptureFormatDialog(QList<TCaptureFormat> formats, const QString &current,
                                           QWidget *parent)
    : QDialog(parent), m_formats(std::move(formats)), m_list(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("Video Capture Pin"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    for (const TCaptureFormat &f : m_formats) {
        m_list->addItem(f.Text());
        if (f.Caps() == current)
            m_list->setCurrentRow(m_list->count() - 1);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

const TCaptureFormat *TCaptureFormatDialog::Chosen() const
{
    const int row = m_list->currentRow();
    return row >= 0 && row < m_formats.size() ? &m_formats[row] : nullptr;
}

TV4l2DeviceDialogs::TV4l2DeviceDialogs(QString node, QList<TCaptureFormat> formats)
    : m_node(std::move(node)), m_formats(std::move(formats))
{
}

bool TV4l2DeviceDialogs::Has(TDeviceDialog dialog) const
{
    switch (dialog) {
    case TDeviceDialog::VideoFilter:
        return !m_node.isEmpty();
    case TDeviceDialog::CapturePin:
        return !m_formats.isEmpty();
    default:
        return false;
    }
}

unsigned TV4l2DeviceDialogs::Show(TDeviceDialog dialog, TCapture &capture)
{
    if (dialog == TDeviceDialog::VideoFilter) {
        // A node that cannot be opened shows nothing.
        if (std::unique_ptr<IV4l2Device> device = OpenV4l2DeviceNode(m_node)) {
            TV4l2ControlsDialog controls(*device, capture.window());
            RunDeviceDialog(controls);
        }
    } else if (dialog == TDeviceDialog::CapturePin && !m_formats.isEmpty()) {
        TCaptureFormatDialog formats(m_formats, capture.DeviceCaps(), capture.window());
        if (RunDeviceDialog(formats) == QDialog::Accepted)
            if (const TCaptureFormat *f = formats.Chosen())
                capture.SetDeviceCaps(f->Caps());
    }
    return CaptureResult::Ok;
}
