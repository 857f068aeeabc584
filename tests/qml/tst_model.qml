import QtQuick 2.15
import QtTest 1.15
import com.zephora.izephtreemodel 1.0
import com.zephora.zephtreeitem 1.0

// The model and item as QML code sees them: instantiation, enumerations, the invokable lookups with
// their short forms, get(), the properties and their notify signals.
TestCase {
    id: testCase
    name: "Model"

    IZEPHTreeModel {
        id: declared
    }

    Component {
        id: modelComponent
        IZEPHTreeModel {}
    }

    Component {
        id: itemComponent
        ZEPHTreeItem {}
    }

    property var subject: null
    property int boundCount: subject ? subject.count : -1
    property int boundFirst: subject ? subject.firstPartialModelRow : -1

    SignalSpy {
        id: countSpy
        target: testCase.subject
        signalName: "rowCountChanged"
    }
    SignalSpy {
        id: firstSpy
        target: testCase.subject
        signalName: "firstPartialModelRowChanged"
    }
    SignalSpy {
        id: pageSpy
        target: testCase.subject
        signalName: "pageChanged"
    }
    SignalSpy {
        id: totalPageSpy
        target: testCase.subject
        signalName: "totalPageChanged"
    }

    function init() {
        subject = testHost.makeTree("A:a[B:b C:c] D:d")
        countSpy.clear()
        firstSpy.clear()
        pageSpy.clear()
        totalPageSpy.clear()
    }

    function cleanup() {
        subject = null
    }

    function test_declaredModelStartsEmpty() {
        compare(declared.count, 0)
        compare(declared.page, -1)
        compare(declared.totalPage, 0)
        compare(declared.firstPartialModelRow, 0)
        compare(Object.keys(declared.get(0)).length, 0)
        compare(declared.FindItem(0), null)
        compare(declared.FindItem("A"), null)
        compare(declared.FindItemRow("A"), -1)
        compare(declared.FindItemID(0), "")
    }

    // A model made by QML has its partial view like any other.
    function test_createdModelHasPartialView() {
        var model = modelComponent.createObject(testCase)
        verify(model !== null)
        var partial = model.GetPartialModel(3)
        verify(partial !== null)
        compare(partial.count, 0)
        model.firstPartialModelRow = 0
        compare(model.firstPartialModelRow, 0)
        model.destroy()
    }

    function test_enumsAndRoleNumbers() {
        compare([ZEPHTreeItem.IdRole, ZEPHTreeItem.NameRole, ZEPHTreeItem.ChildModelRole, ZEPHTreeItem.JsonValueRole,
                 ZEPHTreeItem.LastRole].join(" "), "257 258 259 260 260")
        compare([IZEPHTreeModel.Eq, IZEPHTreeModel.Ne, IZEPHTreeModel.Ge, IZEPHTreeModel.Gt, IZEPHTreeModel.Le,
                 IZEPHTreeModel.Lt, IZEPHTreeModel.SubStr, IZEPHTreeModel.InsensitiveSubStr].join(" "), "0 1 2 3 4 5 6 7")
        compare([IZEPHTreeModel.None, IZEPHTreeModel.KeepSorting, IZEPHTreeModel.RecursiveKeepSorting,
                 IZEPHTreeModel.POS_TAIL, IZEPHTreeModel.POS_HEAD].join(" "), "0 1 2 0 1")
    }

    // Tree "A:a[B:b C:c] D:d": A carries a child model with B and C.
    function test_lookups_data() {
        return [
            { tag: "FindItemID", call: function (m) { return m.FindItemID(1) }, expected: "D" },
            { tag: "FindItemRow", call: function (m) { return m.FindItemRow("D") }, expected: 1 },
            { tag: "FindItemValue(row, role)", call: function (m) { return m.FindItemValue(0, ZEPHTreeItem.NameRole) }, expected: "a" },
            { tag: "FindItemValue(row, name)", call: function (m) { return m.FindItemValue(1, "nameRole") }, expected: "d" },
            { tag: "FindItemValue(id, role)", call: function (m) { return m.FindItemValue("D", 257) }, expected: "D" },
            { tag: "FindItemValue(id, name)", call: function (m) { return m.FindItemValue("A", "nameRole") }, expected: "a" },
            { tag: "FindItemValue json by name", call: function (m) { return m.FindItemValue(0, "jsonValueRole") }, expected: undefined },
            { tag: "FindItemValue json by number", call: function (m) { return m.FindItemValue(0, 260).nameRole }, expected: "a" },
            { tag: "FindItemValue child model", call: function (m) { return m.FindItemValue(0, 259).count }, expected: 2 },
            { tag: "FindItemValueEx(id, role, true)", call: function (m) { return m.FindItemValueEx("C", 258, true) }, expected: "c" },
            { tag: "FindItemValueEx(id, name, true)", call: function (m) { return m.FindItemValueEx("B", "idRole", true) }, expected: "B" },
            { tag: "FindItemValueEx(id, role, false)", call: function (m) { return m.FindItemValueEx("B", 257, false) }, expected: undefined },
            { tag: "FindItem(id) searches this model only", call: function (m) { return m.FindItem("B") }, expected: null },
            { tag: "FindItem(id, true)", call: function (m) { return m.FindItem("B", true).getData(258) }, expected: "b" },
            { tag: "FindItem(row)", call: function (m) { return m.FindItem(1).getData(257) }, expected: "D" },
            { tag: "get child model", call: function (m) { return m.get(0).childModelRole.count }, expected: 2 },
            { tag: "get keys", call: function (m) { return Object.keys(m.get(0)).sort().join(" ") }, expected: "childModelRole idRole nameRole" },
        ]
    }

    function test_lookups(data) {
        compare(data.call(subject), data.expected)
    }

    function test_itemInvokables() {
        var item = subject.FindItem(0)
        var spy = createTemporaryObject(signalSpyComponent, testCase, { target: item, signalName: "valueChanged" })
        compare(item.getData(ZEPHTreeItem.IdRole), "A")
        compare(item.getData("idRole"), "A")
        compare(item.getData("IdRole"), undefined)
        item.setData(ZEPHTreeItem.NameRole, "renamed")
        compare(subject.get(0).nameRole, "renamed")
        item.setData("nameRole", "again")
        compare(item.getData(258), "again")
        item.setData("jsonValueRole", {})
        compare(spy.count, 2)
        compare(item.getData(260).nameRole, "again")
    }

    Component {
        id: signalSpyComponent
        SignalSpy {}
    }

    function test_itemMadeByQml() {
        var item = itemComponent.createObject(testCase)
        compare(item.getData(257), "")
        compare(Object.keys(item.getData(260)).length, 0)
        item.setData(257, "Q")
        compare(item.getData("idRole"), "Q")
        compare(item.getData(260).idRole, "Q")
        item.destroy()
    }

    function test_countFollowsRows() {
        compare(subject.count, 2)
        compare(boundCount, 2)
        subject.clear()
        compare(subject.count, 0)
        compare(boundCount, 0)
        compare(countSpy.count, 1)
    }

    // One partial view per model; every write of its first row is announced, equal or not.
    function test_partialViewFollowsFirstRow() {
        var partial = subject.GetPartialModel(2)
        verify(partial === subject.GetPartialModel(2))
        compare(partial.count, 2)
        subject.SetPartialModelCount(1)
        compare(partial.count, 1)
        subject.firstPartialModelRow = 1
        compare(subject.firstPartialModelRow, 1)
        compare(boundFirst, 1)
        subject.firstPartialModelRow = 1
        compare(firstSpy.count, 2)
        compare(partial.get(0).idRole, "D")
    }

    function test_pageIsFixedOnPlainModel() {
        compare(subject.page, -1)
        compare(subject.totalPage, 0)
        subject.page = 3
        compare(subject.page, -1)
        compare(pageSpy.count, 0)
        compare(totalPageSpy.count, 0)
    }

    function test_viewOnlyOperationsRefuse() {
        compare(subject.UpdateFilterRules(), false)
        compare(subject.UpdateFilterRules([]), false)
        compare(subject.UpdateUserDefinedFilterRules(), false)
        compare(subject.UpdateGroupRole(257), false)
        compare(subject.UpdateGroupRole("idRole"), false)
        compare(testHost.ids(subject), "A D")
    }
}
