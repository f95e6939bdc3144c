#include "kb/ui/MenuLoader.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QXmlStreamReader>

#include "kb/common/NumberText.h"
#include "kb/ui/Package.h"
#include "kb/ui/Skin.h"

namespace kb::ui {
namespace {

// Deeper nesting than this is a broken file; the extra levels are skipped.
constexpr int kMaxDepth = 8;
constexpr const char* kCommandProperty = "command";

QString MenuPath(const QString& name) {
    return PackagePath(QStringLiteral("menu/%1.xml").arg(name));
}

MenuKind KindOfRoot(QStringView root) {
    if (root == u"menu") {
        return MenuKind::Classic;
    }
    if (root == u"menuRoot" || root == u"menuItem") {
        return MenuKind::Extended;
    }
    return MenuKind::None;
}

QString Translate(const QString& text) {
    const QByteArray source = text.toUtf8();
    return QCoreApplication::translate("menu", source.constData());
}

// Reads the children of the current element into `menu`.
void ReadItems(QXmlStreamReader& xml, QMenu& menu, int depth) {
    while (xml.readNextStartElement()) {
        const auto attributes = xml.attributes();
        if (xml.name() == u"item") {
            QAction* action = menu.addAction(Translate(attributes.value(QLatin1String("text")).toString()));
            const int command =
                kb::StrToLong32(attributes.value(QLatin1String("id")).toString().toStdU16String(), 0);
            action->setData(command);
            action->setProperty(kCommandProperty, command);
            action->setEnabled(attributes.value(QLatin1String("disabled")) != u"1");
            const QPixmap icon = ResolveImage(attributes.value(QLatin1String("icon")).toString());
            if (!icon.isNull()) {
                action->setIcon(QIcon(icon));
            }
            xml.skipCurrentElement();
        } else if (xml.name() == u"sep") {
            menu.addSeparator();
            xml.skipCurrentElement();
        } else if ((xml.name() == u"menu" || xml.name() == u"menuItem") && depth < kMaxDepth) {
            QMenu* sub = menu.addMenu(Translate(attributes.value(QLatin1String("text")).toString()));
            ReadItems(xml, *sub, depth + 1);
        } else {
            xml.skipCurrentElement();
        }
    }
}

}  // namespace

std::optional<MenuKind> ReadMenuKind(const QString& name) {
    QFile file(MenuPath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement()) {
        return std::nullopt;
    }
    const MenuKind kind = KindOfRoot(xml.name());
    // The whole document must be well-formed, as a menu that loads only in part is no menu.
    while (!xml.atEnd()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        return std::nullopt;
    }
    return kind;
}

std::unique_ptr<QMenu> LoadMenu(const QString& name, QWidget* parent) {
    return LoadMenuFile(MenuPath(name), parent);
}

std::unique_ptr<QMenu> LoadMenuFile(const QString& path, QWidget* parent) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || KindOfRoot(xml.name()) == MenuKind::None) {
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>(parent);
    ReadItems(xml, *menu, 0);
    if (xml.hasError()) {
        return nullptr;
    }
    return menu;
}

int CommandOf(const QAction* action) {
    return action != nullptr ? action->property(kCommandProperty).toInt() : 0;
}

}  // namespace kb::ui
