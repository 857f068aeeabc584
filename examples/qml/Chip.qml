import QtQuick 2.15
import QtQuick.Controls 2.15

// A small rounded label for one child item; the part of the text that matches `highlight` is bold.
Rectangle {
    id: chip

    property string text
    property string highlight

    function marked(text, part) {
        var at = part.length > 0 ? text.toLowerCase().indexOf(part.toLowerCase()) : -1
        var escape = function (s) { return s.replace(/&/g, "&amp;").replace(/</g, "&lt;") }
        if (at < 0)
            return escape(text)
        return escape(text.slice(0, at)) + "<b>" + escape(text.slice(at, at + part.length)) + "</b>"
                + escape(text.slice(at + part.length))
    }

    implicitWidth: label.implicitWidth + 16
    implicitHeight: 24
    radius: 12
    color: "#eceff1"
    border.color: "#cfd8dc"

    Label {
        id: label
        anchors.centerIn: parent
        textFormat: Text.StyledText
        text: chip.marked(chip.text, chip.highlight)
        font.pixelSize: 13
        color: "#37474f"
    }
}
