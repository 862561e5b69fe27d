#pragma once
// Every SQL text the program issues, letter for letter (doubled and trailing blanks
// included), with the query object that runs it noted after each. Two-line statements
// are given as their two lines; pass both to TQuery::setSql.

#include <QString>
#include <QStringList>

namespace Sql {

// ---- b_sjb
inline const QString selectTimetableForEditor =
    QStringLiteral("select * from b_sjb where sjmc= :sjmc  order by sjmc,kssj ");                             // qsjcx
inline const QString selectTimetableNames = QStringLiteral("select distinct sjmc from b_sjb order by sjmc "); // qcx
inline const QString selectTimetableByStart =
    QStringLiteral("select * from b_sjb where sjmc= :sjmc  order by kssj "); // qjrjm
inline const QString selectTimetableImportSource =
    QStringLiteral("select * from b_sjb where sjmc= :sjmc order by kssj ");                                      // qls
inline const QString deleteTimetable = QStringLiteral(" delete from b_sjb where sjmc= :sjmc  ");                 // qup
inline const QString deleteEntry = QStringLiteral("delete from b_sjb where iid= :iid ");                         // qup
inline const QString deleteEntryByName = QStringLiteral("delete from b_sjb where sjmc= :sjmc and jmmc= :jmmc "); // qup
inline const QString deleteEntryFromEditor = QStringLiteral("delete from b_sjb where iid= :iid  ");              // qup
inline const QString insertEntryLine1 =
    QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz)"); // qin
inline const QString insertEntryLine2 =
    QStringLiteral(" values(:sjmc,:jmmc,:kssj,:jssj,:wjpath,:bfsc,:yldx,:bffs,:bfzt,:wjbz)");

// ---- b_sjbjr
inline const QString deleteToday = QStringLiteral("delete from b_sjbjr"); // qup
inline const QString insertTodayLine1 =
    QStringLiteral("insert into b_sjbjr(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz,over,ixh)"); // qin
inline const QString insertTodayLine2 =
    QStringLiteral(" values( :sjmc,:jmmc,:kssj,:jssj,:wjpath,:bfsc,:yldx,:bffs,:bfzt,:wjbz,:over,:ixh )");
inline const QString selectTodayByName =
    QStringLiteral("select * from b_sjbjr where sjmc= :sjmc  order by kssj ");                           // qjrjm
inline const QString selectTodayAll = QStringLiteral("select * from  b_sjbjr  order by kssj  ");         // qjrjm
inline const QString markTodayEntry = QStringLiteral("update b_sjbjr set over= :over where iid= :iid "); // qpub
inline const QString selectTodayForDispatch =
    QStringLiteral("select * from b_sjbjr where sjmc= :sjmc order by kssj ");                     // qjrjmcxls
inline const QString selectTodayEntry = QStringLiteral("select * from b_sjbjr where iid= :iid "); // qsj
inline const QString markTodayBefore =
    QStringLiteral("update b_sjbjr set over= :over,bfzt= :bfzt where kssj< :t0 "); // qupjs
inline const QString markTodayEntryPlayed =
    QStringLiteral("update b_sjbjr set over= :over,bfzt= :bfzt where iid= :iid "); // qupjs
inline const QString countTodayByState =
    QStringLiteral("select count(*) as expr1001 from b_sjbjr where over= :over ");                       // qgjcx
inline const QString selectTodayEntryManual = QStringLiteral("select * from b_sjbjr where iid= :iid  "); // qjrjmcxls

// ---- b_gqlbmx and b_gqlbmxbak
inline const QString insertScratchSong =
    QStringLiteral("insert into b_gqlbmx(wjpath,wjmc,zsc) values(:wjpath,:wjmc,:zsc)");                 // qin
inline const QString deleteScratch = QStringLiteral("delete from b_gqlbmx ");                           // qup
inline const QString deleteScratchSong = QStringLiteral("delete from b_gqlbmx where iid= :iid  ");      // qup
inline const QString selectScratchDurations = QStringLiteral("select zsc from b_gqlbmx order by iid "); // qls
inline const QString selectScratch = QStringLiteral("select * from b_gqlbmx order by iid "); // qls, qcx, qgqmx
inline const QString deleteSavedListForSave = QStringLiteral("delete from b_gqlbmxbak where lbmc= :lbmc  "); // qup
inline const QString insertSavedSong =
    QStringLiteral("insert into b_gqlbmxbak(wjpath,wjmc,lbmc,zsc) values(:wjpath,:wjmc,:lbmc,:zsc)"); // qin
inline const QString selectSavedListNames =
    QStringLiteral("select distinct lbmc  from b_gqlbmxbak order by lbmc "); // qgqlbhz
inline const QString selectSavedListForEdit =
    QStringLiteral("select * from b_gqlbmxbak where lbmc= :lbmc  order by iid "); // qcx
inline const QString insertScratchFromSaved =
    QStringLiteral("insert into b_gqlbmx(wjpath,wjmc,lbmc,zsc) values(:wjpath,:wjmc,:lbmc,:zsc)");   // qin
inline const QString deleteSavedList = QStringLiteral("delete from b_gqlbmxbak where lbmc= :lbmc "); // qup
inline const QString deleteAllSavedLists = QStringLiteral("delete from b_gqlbmxbak   ");             // qup
inline const QString selectSavedListSongNames =
    QStringLiteral("select wjmc  from b_gqlbmxbak where lbmc= :lbmc  order by wjmc ");                 // qls
inline const QString selectSavedList = QStringLiteral("select * from b_gqlbmxbak where lbmc= :lbmc "); // qcx
inline const QString selectSavedListForPlay =
    QStringLiteral("select * from b_gqlbmxbak where lbmc= :lbmc order by iid "); // qjy
inline const QString updateScratchSongDuration =
    QStringLiteral("update b_gqlbmx set zsc= :zsc where iid= :iid "); // qup: a song's own length
inline const QString selectTimetablesUsingList =
    QStringLiteral("select distinct sjmc from b_sjb where wjpath= :wjpath and wjbz= :wjbz order by sjmc "); // qls

// ---- b_gbb, x_jrb, x_sjbsz
inline const QString selectBroadcasts = QStringLiteral("select * from b_gbb order by bt ");              // qgb, qgbcx
inline const QString insertBroadcast = QStringLiteral("insert into b_gbb(bt,strwz) values(:bt,:strwz)"); // qin
inline const QString deleteBroadcast = QStringLiteral("delete from b_gbb where iid= :iid ");             // qup
inline const QString selectHolidays = QStringLiteral("select * from  x_jrb   ");                         // qdc
inline const QString selectHolidaysById = QStringLiteral("select * from x_jrb order by iid ");           // qjr
inline const QString insertHoliday = QStringLiteral("insert into x_jrb(rq) values(:rq)");                // qin
inline const QString deleteHoliday = QStringLiteral("delete from x_jrb where iid= :iid ");               // qup
inline const QString selectWeekly = QStringLiteral("select * from x_sjbsz ");                            // qcx
inline const QString selectWeeklyForEditor = QStringLiteral("select * from x_sjbsz  ");                  // qcx
inline const QString updateWeekly =
    QStringLiteral("update x_sjbsz set xq1= :xq1,xq2= :xq2,xq3= :xq3,xq4= :xq4,xq5= :xq5,xq6= :xq6,xq7= :xq7 "); // qup
// Puts back the one row of the weekly assignment when the update found none.
inline const QString insertWeekly = QStringLiteral(
    "insert into x_sjbsz(xq1,xq2,xq3,xq4,xq5,xq6,xq7) values(:xq1,:xq2,:xq3,:xq4,:xq5,:xq6,:xq7)"); // qin

// ---- b_bfrz, the as-run log (schema version 2): one row per event of a programme.
// Date 'YYYY-MM-DD', time 'HH:MM:SS'; yy holds the reason of a problem, empty otherwise.
inline const QString createAsRunLog =
    QStringLiteral("create table b_bfrz(iid integer primary key autoincrement,rq text,sj text,sjmc varchar(100),"
                   "jmmc varchar(200),kssj text,sjlx varchar(20),bfnr varchar(255),xms integer,yy varchar(255))");
inline const QString createAsRunLogIndex = QStringLiteral("create index b_bfrz_rq on b_bfrz(rq)");
inline const QString setSchemaVersion2 = QStringLiteral("pragma user_version = 2");
inline const QString selectSchemaVersion = QStringLiteral("pragma user_version");
inline const QString insertAsRunLine1 =
    QStringLiteral("insert into b_bfrz(rq,sj,sjmc,jmmc,kssj,sjlx,bfnr,xms,yy)"); // qbfrz
inline const QString insertAsRunLine2 = QStringLiteral(" values(:rq,:sj,:sjmc,:jmmc,:kssj,:sjlx,:bfnr,:xms,:yy)");
inline const QString selectAsRunByDate = QStringLiteral("select * from b_bfrz where rq= :rq order by iid "); // qbfrz
inline const QString selectAsRunProblems =
    QStringLiteral("select * from b_bfrz where rq= :rq and yy<>'' order by iid "); // qbfrz
inline const QString countAsRunOfEntry = QStringLiteral(
    "select count(*) as n from b_bfrz where rq= :rq and sjmc= :sjmc and jmmc= :jmmc and kssj= :kssj "); // qbfrz
inline const QString deleteAsRunBefore = QStringLiteral("delete from b_bfrz where rq< :rq ");           // qbfrz
// Marks past the waiting entries that start before t0, their play state kept ("未播放").
inline const QString markTodayBeforeWaiting =
    QStringLiteral("update b_sjbjr set over= :over where kssj< :t0 and over= :waiting "); // qupjs

// ---- The shared timetable database (a PostgreSQL server)
// The tables every player of a site shares live on the server; today's table b_sjbjr, the
// as-run log b_bfrz and the song-list scratch table b_gqlbmx stay in each player's local
// file, so that every player marks its own programmes. The statements above run unchanged on
// both databases; the ones below are the few that cannot be shared, each with the reason.
inline const QStringList sharedTables = {QStringLiteral("b_sjb"), QStringLiteral("x_sjbsz"), QStringLiteral("x_jrb"),
                                         QStringLiteral("b_gqlbmxbak"), QStringLiteral("b_gbb")};

namespace Server {

// The server's schema version. SQLite keeps it in PRAGMA user_version, which PostgreSQL does
// not have, so the server keeps it in a one-row table of its own.
inline const QString createVersionTable =
    QStringLiteral("create table if not exists chimecast_schema(version integer not null)");
inline const QString selectVersion = QStringLiteral("select version from chimecast_schema");
inline const QString insertVersion = QStringLiteral("insert into chimecast_schema(version) values(:version)");
// Two players starting at once against an empty server: the second waits for the first
// one's schema instead of creating the tables twice (an advisory lock is PostgreSQL's own;
// the local file needs none, having one writer).
inline const QString lockSchema = QStringLiteral("select pg_advisory_xact_lock(4711021)");
// The mirror reads every table of one snapshot, so a timetable imported meanwhile on
// another player is seen either whole or not at all (SQLite reads are snapshots anyway).
inline const QString snapshotRead = QStringLiteral("set transaction isolation level repeatable read");
// The shared tables. The local schema's INTEGER PRIMARY KEY AUTOINCREMENT is SQLite's own;
// PostgreSQL numbers keys with serial, and REAL is only single precision there.
inline const QStringList createTables = {
    QStringLiteral("create table b_sjb(iid serial primary key,sjmc varchar(100),jmmc varchar(200),kssj text,"
                   "jssj text,wjpath varchar(255),bfsc varchar(50),yldx double precision,bffs varchar(50),"
                   "bfzt varchar(30),wjbz varchar(20),over varchar(10) default 'N',ixh smallint)"),
    QStringLiteral("create index b_sjb_sjmc on b_sjb(sjmc)"),
    QStringLiteral("create table b_gqlbmxbak(iid serial primary key,wjpath varchar(255),wjmc varchar(200),"
                   "lbmc varchar(200),zsc text)"),
    QStringLiteral("create table b_gbb(iid serial primary key,bt varchar(255),strwz varchar(255))"),
    QStringLiteral("create table x_jrb(iid serial primary key,rq text)"),
    QStringLiteral("create table x_sjbsz(iid serial primary key,xq1 varchar(100),xq2 varchar(100),xq3 varchar(100),"
                   "xq4 varchar(100),xq5 varchar(100),xq6 varchar(100),xq7 varchar(100))"),
    QStringLiteral("insert into x_sjbsz(xq1,xq2,xq3,xq4,xq5,xq6,xq7) values('无','无','无','无','无','无','无')"),
};
inline const QString probe = QStringLiteral("select 1");

} // namespace Server

// Copying a shared table into the local mirror: all its rows, keys kept, so that the editors
// read the same keys from the mirror as from the server. Same text on both databases.
inline QString selectForMirror(const QString &table, const QStringList &columns)
{
    return QStringLiteral("select %1 from %2 order by iid").arg(columns.join(QLatin1Char(',')), table);
}
inline QString deleteForMirror(const QString &table)
{
    return QStringLiteral("delete from %1").arg(table);
}
inline QString insertForMirror(const QString &table, const QStringList &columns)
{
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks.append(QStringLiteral("?"));
    return QStringLiteral("insert into %1(%2) values(%3)")
        .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

} // namespace Sql
