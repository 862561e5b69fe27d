#pragma once
// A program folder with an open database and helpers to write programmes and media files.

#include "db/dbhouse.h"
#include "support/program_test.h"
#include "../player/qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

class EditorTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        scalar(QStringLiteral("select 1")); // opens the program folder's database
    }

    void addProgramme(const QString &sjmc, const QString &jmmc, const char *start, const char *end, double volume = 80,
                      const char *state = "已播放")
    {
        exec(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz) "
                            "values('%1','%2','%3','%4','/m/%2.mp3','00:01:00',%5,'顺序播放','%6','1')")
                 .arg(sjmc, jmmc, QLatin1String(start), QLatin1String(end))
                 .arg(volume)
                 .arg(QString::fromUtf8(state)));
    }

    // "jmmc kssj-jssj yldx bfzt wjbz" of every programme of a timetable, in start order.
    QStringList programmes(const QString &sjmc)
    {
        QStringList rows;
        QSqlQuery q(QSqlDatabase::database(dbhouse().connectionName()));
        q.prepare(QStringLiteral("select jmmc,kssj,jssj,yldx,bfzt,wjbz,wjpath from b_sjb where sjmc=? order by kssj"));
        q.addBindValue(sjmc);
        q.exec();
        while (q.next())
            rows.append(QStringLiteral("%1 %2-%3 %4 %5 %6")
                            .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                 q.value(3).toString(), q.value(4).toString(), q.value(5).toString()));
        return rows;
    }

    // A 16-bit mono PCM WAVE file of silence, `ms` milliseconds at 8 kHz.
    QString writeWav(const QString &relative, int ms)
    {
        const quint32 data = static_cast<quint32>(ms) * 16;
        QByteArray b("RIFF");
        auto put = [&b](quint32 v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        };
        put(36 + data, 4);
        b.append("WAVEfmt ");
        put(16, 4);
        put(1, 2);
        put(1, 2);
        put(8000, 4);
        put(16000, 4);
        put(2, 2);
        put(16, 2);
        b.append("data");
        put(data, 4);
        b.append(QByteArray(static_cast<int>(data), '\0'));
        writeFile(relative, b);
        return path(relative);
    }
};
