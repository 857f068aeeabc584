// Feeds every file named on the command line (folders: every file inside, sorted) to the fuzz entry
// point once, so that a normal build checks the corpus without libFuzzer; "random:N" adds N inputs
// of random bytes from a fixed seed, so that every run also compares views on fresh sequences.
#include <QDir>
#include <QRandomGenerator>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    QList<QByteArray> inputs;
    QRandomGenerator random(15);
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        QStringList files = QFileInfo(arg).isFile() ? QStringList{arg} : QStringList();
        for (const QString& name : QDir(arg).entryList(QDir::Files, QDir::Name))
            files << QDir(arg).filePath(name);
        for (const QString& path : qAsConst(files)) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return std::fprintf(stderr, "cannot read %s\n", qPrintable(path)), 1;
            inputs << file.readAll();
        }
        for (int n = arg.startsWith(QLatin1String("random:")) ? arg.mid(7).toInt() : 0; n > 0; --n) {
            inputs << QByteArray(int(random.bounded(16, 400)), Qt::Uninitialized);
            for (char& byte : inputs.last())
                byte = char(random.bounded(256));
        }
    }
    for (const QByteArray& bytes : qAsConst(inputs))
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    std::printf("replayed %d inputs\n", int(inputs.size()));
    return inputs.isEmpty();
}
