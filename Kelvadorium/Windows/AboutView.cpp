#include "Windows/AboutView.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Services/WallClock.h"
#include "Windows/FontRoles.h"

namespace {

std::optional<QString> present(const char* value) {
  const QString text = QString::fromUtf8(value);
  if (text.isEmpty()) return std::nullopt;
  return text;
}

QLabel* textLine(const QString& text, FontRole role, bool secondary) {
  auto* label = new QLabel(text);
  FontRoles::apply(*label, role, secondary);
  label->setAlignment(Qt::AlignHCenter);
  return label;
}

// A button that reads as a link: no frame, the palette's link colour, the pointing hand.
QPushButton* linkButton(const QString& title, std::function<void()> action) {
  auto* button = new QPushButton(title);
  button->setFlat(true);
  button->setCursor(Qt::PointingHandCursor);
  button->setFocusPolicy(Qt::TabFocus);
  FontRoles::apply(*button, FontRole::callout);
  QPalette palette = button->palette();
  palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
  button->setPalette(palette);
  button->setStyleSheet("QPushButton { border: none; padding: 0px 2px; }");
  QObject::connect(button, &QPushButton::clicked, button, std::move(action));
  return button;
}

}  // namespace

AboutView::Facts AboutView::Facts::ofThisBuild() {
  Facts facts;
  facts.version = present(KV_VERSION);
  facts.build = present(KV_BUILD);
  facts.website = QUrl(QString::fromUtf8(KV_WEBSITE));
  facts.privacyPage = QUrl(QString::fromUtf8(KV_PRIVACY_PAGE));
  facts.supportAddress = QString::fromUtf8(KV_SUPPORT_ADDRESS);
  return facts;
}

QString AboutView::versionText(const std::optional<QString>& version,
                               const std::optional<QString>& build) {
  QString text = "Version " + version.value_or("development build");
  if (build) text += " (build " + *build + ")";
  return text;
}

QString AboutView::yearsText(int year) {
  if (year < 2027) return "2026";
  return QString("2026–%1").arg(year);
}

QUrl AboutView::supportMailURL(const QString& address, const std::optional<QString>& version,
                               const std::optional<QString>& build) {
  const QString subject = "Kelvadorium " + version.value_or("?") + " (" + build.value_or("?") + ")";
  // The characters a URL query allows stay as they are; the rest, spaces first, are encoded.
  const QByteArray encoded = subject.toUtf8().toPercentEncoding("!$&'()*+,;=:@/?");
  return QUrl::fromEncoded("mailto:" + address.toUtf8() + "?subject=" + encoded);
}

AboutView::AboutView(Facts facts, const WallClock& clock, std::function<void()> openSettings,
                     QWidget* parent)
    : QDialog(parent),
      facts_(std::move(facts)),
      openSettings_(std::move(openSettings)),
      openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
  setWindowTitle("About Kelvadorium");
  setObjectName("AboutView");
  auto* column = new QVBoxLayout(this);
  column->setSpacing(14);
  column->setContentsMargins(24, 24, 24, 24);

  auto* icon = new QLabel;
  const QIcon appIcon = QIcon::fromTheme("kelvadorium", QIcon(":/Desktop/kelvadorium.svg"));
  // Drawn for at least twice the size, so the snapshot and high-density screens stay sharp.
  icon->setPixmap(appIcon.pixmap(QSize(96, 96), std::max(devicePixelRatioF(), 2.0)));
  icon->setFixedSize(96, 96);
  column->addWidget(icon, 0, Qt::AlignHCenter);

  auto* names = new QVBoxLayout;
  names->setSpacing(3);
  QLabel* name = textLine("Kelvadorium", FontRole::title, false);
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  names->addWidget(name);
  names->addWidget(textLine("Ombrel Castrane Velloquintar", FontRole::callout, true));
  QLabel* version = textLine(versionText(facts_.version, facts_.build), FontRole::caption, true);
  version->setObjectName("versionText");
  version->setTextInteractionFlags(Qt::TextSelectableByMouse);
  names->addWidget(version);
  column->addLayout(names);

  column->addWidget(linksRow(), 0, Qt::AlignHCenter);
  column->addWidget(linkButton("Privacy Settings…",
                               [this] {
                                 if (openSettings_) openSettings_();
                               }),
                    0, Qt::AlignHCenter);
  auto* divider = new QFrame;
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);
  column->addWidget(divider);
  column->addWidget(credits(clock.now().date().year()));

  setFixedWidth(fixedWidth);
  setFixedHeight(column->hasHeightForWidth() ? column->heightForWidth(fixedWidth)
                                             : column->sizeHint().height());
}

QWidget* AboutView::linksRow() {
  auto* row = new QWidget;
  auto* links = new QHBoxLayout(row);
  links->setContentsMargins(0, 0, 0, 0);
  links->setSpacing(16);
  const QUrl mail = supportMailURL(facts_.supportAddress, facts_.version, facts_.build);
  for (const auto& [title, url] : {std::pair<QString, QUrl>{"Website", facts_.website},
                                   {"Support", mail},
                                   {"Privacy Policy", facts_.privacyPage}}) {
    const QUrl target = url;
    links->addWidget(linkButton(title, [this, target] { openUrl_(target); }), 0, Qt::AlignVCenter);
  }
  return row;
}

QWidget* AboutView::credits(int year) {
  auto* box = new QWidget;
  auto* lines = new QVBoxLayout(box);
  lines->setContentsMargins(0, 0, 0, 0);
  lines->setSpacing(6);
  const QString texts[] = {
      "© " + yearsText(year) + " The Kelvadorium authors",
      "Made with LibRaw, Little CMS, libtiff, libjpeg-turbo, libpng, libheif, Exiv2, oneTBB, "
      "OpenCV and Qt. The dust finder is our own model, trained on synthetic film scans. Your "
      "photos never leave your computer.",
      "Film and scanner brand names that the looks refer to are trademarks of their owners, "
      "who do not endorse or sponsor Kelvadorium. The scanner styles and film looks are "
      "Kelvadorium’s own interpretations.",
  };
  for (const QString& text : texts) {
    QLabel* line = textLine(text, FontRole::caption, true);
    line->setWordWrap(true);
    lines->addWidget(line);
  }
  box->findChildren<QLabel*>().first()->setObjectName("rightsNotice");
  return box;
}
