import QtQml 2.15
import com.zephora.izephtreemodel 1.0
import com.zephora.zephtreeitem 1.0

QtObject {
    property IZEPHTreeModel model: IZEPHTreeModel {}
    property string result: ["qml", model.count, model.GetFilterModel().count, IZEPHTreeModel.KeepSorting,
                             ZEPHTreeItem.IdRole, ZEPHTreeItem.NameRole].join(" ")
}
