import QtQuick 2.15
import QtTest 1.15
import com.zephora.izephtreemodel 1.0

// A list bound to a filter view made from QML with a rule list written as a script array of
// objects: whatever the host does to the source, the delegates shown are the items that pass.
Item {
    id: root
    width: 300
    height: 800

    property var source: null
    property var filter: null
    // Follows the view's count property through its notify signal, as bindings in a UI do.
    property int boundCount: filter ? filter.count : -1

    ListView {
        id: list
        width: 300
        height: 800
        model: root.filter
        delegate: Column {
            property string itemId: idRole
            property alias childCount: children.count
            function childId(i) { return children.itemAt(i).text }
            Text { height: 10; text: nameRole }
            // The child-model role of a filter view is itself a filter view with the same rules.
            Repeater {
                id: children
                model: childModelRole
                delegate: Text { height: 10; text: idRole }
            }
        }
    }

    TestCase {
        name: "FilterView"
        when: windowShown

        // The IDs of the delegates the list shows, in order.
        function shown() {
            list.forceLayout()
            var ids = []
            for (var i = 0; i < list.count; ++i) {
                var delegate = list.itemAtIndex(i)
                ids.push(delegate ? delegate.itemId : "?")
            }
            return ids.join(" ")
        }

        function rename(id, name) {
            source.FindItem(id).setData("nameRole", name)
            compare(root.boundCount, list.count)
        }

        function init() {
            source = testHost.makeTree("a1 b a2 c[x a3] d")
            filter = source.GetFilterModel([{RoleName: "nameRole", Rule: IZEPHTreeModel.SubStr, Value: "a"}])
        }

        function cleanup() {
            filter = null
            source = null
            gc()
        }

        function test_delegatesFollowTheSource() {
            // c stays because something below it passes.
            compare(shown(), "a1 a2 c")
            testHost.append(source, "ba e a4")
            compare(shown(), "a1 a2 c ba a4")
            rename("e", "ea")
            compare(shown(), "a1 a2 c ba a4 e")
            rename("a2", "x")
            compare(shown(), "a1 c ba a4 e")
            source.RemoveOne("a1")
            compare(shown(), "c ba a4 e")
            source.Remove(["ba", "zz", "b"])
            compare(shown(), "c a4 e")
            source.FindItem("a3", true).setData("nameRole", "z")
            compare(shown(), "a4 e")
            compare(root.boundCount, list.count)
            source.RemoveAll()
            compare(shown(), "")
            compare(root.boundCount, 0)
        }

        function test_childModelsShowOnlyPassingItems() {
            list.forceLayout()
            var row = list.itemAtIndex(2)
            compare(row.itemId, "c")
            compare(row.childCount, 1)
            compare(row.childId(0), "a3")
        }

        function test_rulesUpdatedFromQml() {
            var spy = Qt.createQmlObject("import QtTest 1.15; SignalSpy { signalName: 'filterModelChanged' }", root)
            spy.target = filter
            verify(filter.UpdateFilterRules([{RoleName: "nameRole", OrAllRules: true,
                                              Rules: [{Rule: IZEPHTreeModel.Eq, Value: "b"},
                                                      {Rule: IZEPHTreeModel.InsensitiveSubStr, Value: "D"}]}]))
            compare(shown(), "b d")
            compare(spy.count, 1)
            // The same rules written again change nothing.
            verify(filter.UpdateFilterRules([{RoleName: "nameRole", OrAllRules: true,
                                              Rules: [{Rule: IZEPHTreeModel.Eq, Value: "b"},
                                                      {Rule: IZEPHTreeModel.InsensitiveSubStr, Value: "D"}]}]))
            compare(spy.count, 1)
            // Every entry must hold now: nothing is both.
            verify(filter.UpdateFilterRules([{RoleName: "nameRole", Rule: IZEPHTreeModel.Eq, Value: "b"},
                                             {RoleName: "nameRole", Rule: IZEPHTreeModel.Eq, Value: "d"}], false))
            compare(shown(), "")
            verify(filter.UpdateFilterRules())
            compare(shown(), "a1 b a2 c d")
            spy.destroy()
        }
    }
}
