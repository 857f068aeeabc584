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
        verify(partial === model.GetPartialModel(3))
        compare(partial.count, 0)
        model.firstPartialModelRow = 0
        compare(model.firstPartialModelRow, 0)
        model.destroy()
    }

    function test_roleNumbers_data() {
        return [
            { tag: "IdRole", value: ZEPHTreeItem.IdRole, expected: 257 },
            { tag: "NameRole", value: ZEPHTreeItem.NameRole, expected: 258 },
            { tag: "ChildModelRole", value: ZEPHTreeItem.ChildModelRole, expected: 259 },
            { tag: "JsonValueRole", value: ZEPHTreeItem.JsonValueRole, expected: 260 },
            { tag: "LastRole is the last role", value: ZEPHTreeItem.LastRole, expected: 260 }
        ]
    }

    function test_roleNumbers(data) {
        compare(data.value, data.expected)
    }

    function test_enums_data() {
        return [
            { tag: "Eq", value: IZEPHTreeModel.Eq, expected: 0 },
            { tag: "Ne", value: IZEPHTreeModel.Ne, expected: 1 },
            { tag: "Ge", value: IZEPHTreeModel.Ge, expected: 2 },
            { tag: "Gt", value: IZEPHTreeModel.Gt, expected: 3 },
            { tag: "Le", value: IZEPHTreeModel.Le, expected: 4 },
            { tag: "Lt", value: IZEPHTreeModel.Lt, expected: 5 },
            { tag: "SubStr", value: IZEPHTreeModel.SubStr, expected: 6 },
            { tag: "InsensitiveSubStr", value: IZEPHTreeModel.InsensitiveSubStr, expected: 7 },
            { tag: "None", value: IZEPHTreeModel.None, expected: 0 },
            { tag: "KeepSorting", value: IZEPHTreeModel.KeepSorting, expected: 1 },
            { tag: "RecursiveKeepSorting", value: IZEPHTreeModel.RecursiveKeepSorting, expected: 2 },
            { tag: "POS_TAIL", value: IZEPHTreeModel.POS_TAIL, expected: 0 },
            { tag: "POS_HEAD", value: IZEPHTreeModel.POS_HEAD, expected: 1 }
        ]
    }

    function test_enums(data) {
        compare(data.value, data.expected)
    }

    // Tree "A:a[B:b C:c] D:d": A carries a child model with B and C.
    function test_lookups_data() {
        return [
            { tag: "FindItemID", call: function (m) { return m.FindItemID(1) }, expected: "D" },
            { tag: "FindItemID out of range", call: function (m) { return m.FindItemID(2) }, expected: "" },
            { tag: "FindItemID(-1)", call: function (m) { return m.FindItemID(-1) }, expected: "" },
            { tag: "FindItemRow", call: function (m) { return m.FindItemRow("D") }, expected: 1 },
            { tag: "FindItemRow skips children", call: function (m) { return m.FindItemRow("B") }, expected: -1 },
            { tag: "FindItemValue(row, role)", call: function (m) { return m.FindItemValue(0, ZEPHTreeItem.NameRole) }, expected: "a" },
            { tag: "FindItemValue(row, name)", call: function (m) { return m.FindItemValue(1, "nameRole") }, expected: "d" },
            { tag: "FindItemValue(id, role)", call: function (m) { return m.FindItemValue("D", 257) }, expected: "D" },
            { tag: "FindItemValue(id, name)", call: function (m) { return m.FindItemValue("A", "nameRole") }, expected: "a" },
            { tag: "FindItemValue of child id", call: function (m) { return m.FindItemValue("B", 257) }, expected: undefined },
            { tag: "FindItemValue json by name", call: function (m) { return m.FindItemValue(0, "jsonValueRole") }, expected: undefined },
            { tag: "FindItemValue json by number", call: function (m) { return m.FindItemValue(0, 260).nameRole }, expected: "a" },
            { tag: "FindItemValue child model", call: function (m) { return m.FindItemValue(0, 259).count }, expected: 2 },
            { tag: "FindItemValueEx(id, role, true)", call: function (m) { return m.FindItemValueEx("C", 258, true) }, expected: "c" },
            { tag: "FindItemValueEx(id, name, true)", call: function (m) { return m.FindItemValueEx("B", "idRole", true) }, expected: "B" },
            { tag: "FindItemValueEx(id, role, false)", call: function (m) { return m.FindItemValueEx("B", 257, false) }, expected: undefined },
            { tag: "FindItem(id) searches this model only", call: function (m) { return m.FindItem("B") }, expected: null },
            { tag: "FindItem(id, false)", call: function (m) { return m.FindItem("B", false) }, expected: null },
            { tag: "FindItem(id, true)", call: function (m) { return m.FindItem("B", true).getData(258) }, expected: "b" },
            { tag: "FindItem(id) own row", call: function (m) { return m.FindItem("D").getData("nameRole") }, expected: "d" },
            { tag: "FindItem(row)", call: function (m) { return m.FindItem(1).getData(257) }, expected: "D" },
            { tag: "FindItem(row) out of range", call: function (m) { return m.FindItem(2) }, expected: null },
            { tag: "get id", call: function (m) { return m.get(1).idRole }, expected: "D" },
            { tag: "get name", call: function (m) { return m.get(0).nameRole }, expected: "a" },
            { tag: "get child model", call: function (m) { return m.get(0).childModelRole.count }, expected: 2 },
            { tag: "get keys", call: function (m) { return Object.keys(m.get(0)).sort().join(" ") }, expected: "childModelRole idRole nameRole" },
            { tag: "get out of range", call: function (m) { return Object.keys(m.get(2)).length }, expected: 0 }
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

    function test_firstPartialModelRowAnnouncesEveryWrite() {
        var partial = subject.GetPartialModel(1)
        compare(partial.count, 1)
        subject.firstPartialModelRow = 1
        compare(subject.firstPartialModelRow, 1)
        compare(boundFirst, 1)
        subject.firstPartialModelRow = 1
        compare(firstSpy.count, 2)
        compare(partial.get(0).idRole, "D")
    }

    function test_partialViewIsOneObject() {
        var first = subject.GetPartialModel(2)
        var second = subject.GetPartialModel(2)
        verify(first === second)
        compare(first.count, 2)
        subject.SetPartialModelCount(1)
        compare(first.count, 1)
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
