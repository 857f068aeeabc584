import QtQuick 2.15
import QtTest 1.15
import com.zephora.izephtreemodel 1.0
import com.zephora.zephtreeitem 1.0

// Sorting as QML code reaches it: the short forms by role name and number, rule lists written as
// JavaScript arrays of objects, and compare functions kept in .js and .qml files.
TestCase {
    id: testCase
    name: "Sort"

    property var subject: null

    SignalSpy {
        id: dataSpy
        target: testCase.subject
        signalName: "dataChanged"
    }
    SignalSpy {
        id: layoutSpy
        target: testCase.subject
        signalName: "layoutChanged"
    }
    SignalSpy {
        id: resetSpy
        target: testCase.subject
        signalName: "modelReset"
    }

    function use(rows) {
        subject = testHost.makeTree(rows)
        dataSpy.clear()
        layoutSpy.clear()
        resetSpy.clear()
        return subject
    }

    function cleanup() {
        subject = null
    }

    function test_sortByRole_data() {
        return [
            { tag: "name ascending", role: "nameRole", ascending: true, expected: "a b2 b1" },
            { tag: "role number", role: ZEPHTreeItem.NameRole, ascending: true, expected: "a b2 b1" },
            { tag: "unknown name", role: "sizeRole", ascending: true, expected: "b1 a b2" }
        ]
    }

    function test_sortByRole(data) {
        var model = use("b1:b a b2:b")
        model.SortByRole(data.role, data.ascending)
        compare(testHost.ids(model), data.expected)
        compare(dataSpy.count, 1)
        compare(layoutSpy.count, 0)
    }

    function test_sortByRoleAndKeep() {
        var model = use("c a")
        model.SortByRoleAndKeep("nameRole", true)
        compare(testHost.ids(model), "a c")
        testHost.append(model, "b")
        compare(testHost.ids(model), "a b c")
        model.SortByRole(ZEPHTreeItem.IdRole, false)
        testHost.append(model, "d")
        compare(testHost.ids(model), "c b a d")
    }

    function test_sortByRules_data() {
        return [
            { tag: "two rules", rules: [{ RoleName: "nameRole", Ascending: true }, { RoleName: "idRole", Ascending: false }],
              expected: "a2 a1 b2 b1" },
            { tag: "empty list reverses", rules: [], expected: "a2 b2 a1 b1" }
        ]
    }

    function test_sortByRules(data) {
        var model = use("b1:b a1:a b2:b a2:a")
        model.SortByRules(data.rules)
        compare(testHost.ids(model), data.expected)
        compare(dataSpy.count, 1)
        // Without a flag keep-sorting is off: an insertion stays where it was put.
        testHost.append(model, "0")
        compare(testHost.ids(model), data.expected + " 0")
    }

    function test_keepSortingFlags() {
        var model = use("b[y x] a[q p]")
        model.SortByRules([{ RoleName: "idRole", Ascending: true }], IZEPHTreeModel.KeepSorting)
        compare(testHost.dump(model), "a[q p] b[y x]")
        testHost.append(model, "0")
        compare(testHost.ids(model), "0 a b")
        model.SortByRules([{ RoleName: "idRole", Ascending: true }], IZEPHTreeModel.RecursiveKeepSorting)
        compare(testHost.dump(model), "0 a[p q] b[x y]")
    }

    function test_sortByScriptFile() {
        var file = testHost.writeFile("shorter.js",
            "function shorter(a, b) { return a.length < b.length; }\n")
        var model = use("x:ccc y:a z:bb")
        model.SortByRoleByScriptFunction("nameRole", true, file, "shorter")
        compare(testHost.ids(model), "y z x")
        compare(dataSpy.count, 1)
        compare(layoutSpy.count, 1)
        compare(resetSpy.count, 1)
        model.SortByRoleByScriptFunction(ZEPHTreeItem.NameRole, false, "file://" + file, "shorter")
        compare(testHost.ids(model), "x z y")
    }

    function test_sortByQmlFile() {
        var file = testHost.writeFile("shorter.qml",
            "import QtQml 2.15\nQtObject { function shorter(a, b) { return a.length < b.length } }\n")
        var model = use("x:ccc y:a z:bb")
        model.SortByRoleByQMLFunction("nameRole", true, file, "shorter")
        compare(testHost.ids(model), "y z x")
        compare(dataSpy.count, 1)
        compare(layoutSpy.count, 1)
        compare(resetSpy.count, 0)
        model.SortByRoleByQMLFunction(ZEPHTreeItem.NameRole, false, file, "shorter")
        compare(testHost.ids(model), "x z y")
    }
}
