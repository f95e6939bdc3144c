#include "LooseProperties.h"

#include <QMetaProperty>
#include <QVariant>
#include <QWidget>
#include <QXmlStreamReader>
#include <optional>

#include "kb/common/NumberText.h"

namespace kb::ui {
namespace {

struct LayoutProperty {
    QString widget;  // objectName of the widget the property belongs to
    QString name;
    QString kind;  // the value's element: "number", "string", "enum", "rect", ...
    QString text;  // the value's text when it is a single value
};

bool IsInteger(const QMetaProperty& property) {
    switch (property.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return true;
        default:
            return false;
    }
}

bool HasHexPrefix(const QString& text) {
    QStringView rest = QStringView(text).trimmed();
    if (rest.startsWith(u'+') || rest.startsWith(u'-')) {
        rest = rest.mid(1);
    }
    return rest.startsWith(u"0x", Qt::CaseInsensitive);
}

// Value elements with their value as text (rather than in child elements such as <rect><x>).
bool IsSingleValue(const QString& kind) {
    return kind == u"number" || kind == u"string" || kind == u"enum" || kind == u"set" || kind == u"bool" ||
           kind == u"double" || kind == u"cstring";
}

std::optional<QMetaProperty> FindIgnoringCase(const QMetaObject* meta, const QString& name) {
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (name.compare(QLatin1String(property.name()), Qt::CaseInsensitive) == 0) {
            return property;
        }
    }
    return std::nullopt;
}

// The properties that belong directly to <widget name="..."> elements, in document order.
QList<LayoutProperty> ReadWidgetProperties(const QByteArray& ui) {
    QList<LayoutProperty> out;
    QXmlStreamReader xml(ui);
    QStringList open;     // element names from the root down to the current one
    QStringList widgets;  // names of the enclosing <widget> elements
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            if (!open.isEmpty() && open.takeLast() == u"widget") {
                widgets.removeLast();
            }
            continue;
        }
        if (!xml.isStartElement()) {
            continue;
        }
        const QString element = xml.name().toString();
        if (element == u"property" && !open.isEmpty() && open.last() == u"widget" &&
            !widgets.last().isEmpty()) {
            LayoutProperty property{
                widgets.last(), xml.attributes().value(QLatin1String("name")).toString(), {}, {}};
            // The value is the property's first child element; the rest of <property> is skipped.
            if (xml.readNextStartElement()) {
                property.kind = xml.name().toString();
                if (IsSingleValue(property.kind)) {
                    property.text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                } else {
                    xml.skipCurrentElement();
                }
                xml.skipCurrentElement();
            }
            out.push_back(std::move(property));
            continue;
        }
        open.push_back(element);
        if (element == u"widget") {
            widgets.push_back(xml.attributes().value(QLatin1String("name")).toString());
        }
    }
    return out;
}

void Apply(QWidget* widget, const LayoutProperty& p) {
    const QMetaObject* meta = widget->metaObject();
    const bool plain = p.kind == u"number" || p.kind == u"string";
    const QByteArray name = p.name.toUtf8();
    if (const int exact = meta->indexOfProperty(name.constData()); exact >= 0) {
        // Qt's loader set it already, except an integer written in hexadecimal (it read that as 0).
        const QMetaProperty property = meta->property(exact);
        if (plain && IsInteger(property) && HasHexPrefix(p.text)) {
            property.write(widget, kb::DecimalOrHexToLong32(p.text.toStdU16String()));
        }
        return;
    }
    const std::optional<QMetaProperty> property = FindIgnoringCase(meta, p.name);
    if (!property) {
        return;  // a property of the layout's own; it stays a dynamic property
    }
    // Qt's loader stored the value under the layout's spelling, converted by the value's element;
    // enumerations it cannot convert without the property, so those go in as their key text.
    const QVariant stored = widget->property(name.constData());
    if (plain && IsInteger(*property)) {
        property->write(widget, kb::DecimalOrHexToLong32(p.text.toStdU16String()));
    } else if (stored.isValid()) {
        property->write(widget, stored);
    } else if (IsSingleValue(p.kind)) {
        property->write(widget, p.text);
    }
    widget->setProperty(name.constData(), QVariant());
}

}  // namespace

void ApplyLooseProperties(QWidget* root, const QByteArray& ui) {
    if (root == nullptr) {
        return;
    }
    for (const LayoutProperty& p : ReadWidgetProperties(ui)) {
        QWidget* widget = root->objectName() == p.widget ? root : root->findChild<QWidget*>(p.widget);
        if (widget != nullptr) {
            Apply(widget, p);
        }
    }
}

}  // namespace kb::ui
