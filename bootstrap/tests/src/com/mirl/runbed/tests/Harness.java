package com.mirl.runbed.tests;

import com.mirl.runbed.Main;
import com.mirl.runbed.MainAccess;
import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;

/** Runs Main.main in this process with a recording status sink and a captured log. */
final class Harness {

    // The loader's texts under the names Main gives them.
    // Spelled out again here so that a changed text fails the tests.

    static final String NOTICE_LOADING = "加载中";
    static final String NOTICE_RESTARTING = "更新重启中";
    static final String NOTICE_NOT_RUNNING = "未运行";
    static final String ERROR_NO_START_CLASS = "找不到启动类";
    static final String ERROR_NO_START_METHOD = "找不到启动方法";
    static final String ERROR_NO_PACKAGE = "找不到程序包";
    static final String ERROR_EXECUTABLE_TOO_SHORT = "读取App数据错误！";
    static final String ERROR_INVALID_PACKAGE = "invalid app";
    static final String TAG_MAIN = "Main";
    static final String TAG_ERROR = "err";
    static final String LOG_START = "start runServer";
    static final String LOG_PACKAGE_FOUND = "find app ";
    static final String LOG_LOADER_CLOSED = "close classLoader ";
    static final String LOG_BLOCK_SHORT = "readFully size=";

    /** A progress notice as Sink.notices lists it. */
    static String progress(String text) {
        return "1:" + text;
    }

    /** An error notice as Sink.notices lists it. */
    static String error(String text) {
        return "2:" + text;
    }

    /** A log line's text after its time: " tag text\n". */
    static String logLine(String tag, String text) {
        return " " + tag + " " + text + "\n";
    }

    /** Records every notice; can act when the client reports its first start. */
    static final class Sink implements Comparator<Object> {
        final List<Object[]> events = new ArrayList<>();
        Runnable onFirstStart;

        @Override
        public int compare(Object code, Object text) {
            events.add(new Object[] {code, text});
            if ("client-start".equals(code) && onFirstStart != null) {
                Runnable action = onFirstStart;
                onFirstStart = null;
                action.run();
            }
            return 0;
        }

        /** Texts of the progress notices (code "1") and errors (Integer 2), as "1:text" and "2:text". */
        List<String> notices() {
            List<String> list = new ArrayList<>();
            for (Object[] e : events) {
                if ("1".equals(e[0]) || Integer.valueOf(2).equals(e[0])) {
                    list.add(e[0] + ":" + e[1]);
                }
            }
            return list;
        }

        List<Object> values(String code) {
            List<Object> list = new ArrayList<>();
            for (Object[] e : events) {
                if (code.equals(e[0])) {
                    list.add(e[1]);
                }
            }
            return list;
        }

        ClassLoader clientLoader() {
            List<Object> loaders = values("client-start");
            return loaders.isEmpty() ? null : (ClassLoader) loaders.get(loaders.size() - 1);
        }
    }

    static final class Run {
        final Sink sink = new Sink();
        String log;
    }

    private Harness() {
    }

    static Run launch(Path location) {
        return main(location.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, Support.START, Support.STOP);
    }

    static Run main(String... args) {
        return main(new Run(), args);
    }

    /** Main.main with the run's sink; the log goes to the run, or nowhere when quiet. */
    static Run main(Run run, String... args) {
        MainAccess.setStatusSink(run.sink);
        PrintStream original = System.out;
        ByteArrayOutputStream log = new ByteArrayOutputStream();
        try {
            System.setOut(new PrintStream(log, true, "UTF-8"));
            Main.main(args);
        } catch (UnsupportedEncodingException e) {
            throw new AssertionError(e);
        } finally {
            System.setOut(original);
        }
        try {
            run.log = log.toString("UTF-8");
        } catch (UnsupportedEncodingException e) {
            throw new AssertionError(e);
        }
        return run;
    }

    static Main bootInstance() {
        return MainAccess.bootInstance();
    }

    /** Empties the six launch-string fields, as before the first call of main. */
    static void resetLaunchStrings() {
        MainAccess.resetLaunchStrings();
    }

    /** The log holds first, and later second. */
    static void assertInOrder(String log, String first, String second) {
        int at = log.indexOf(first);
        org.junit.Assert.assertTrue("missing " + first + " in\n" + log, at >= 0);
        org.junit.Assert.assertTrue("missing " + second + " after " + first + " in\n" + log,
                log.indexOf(second, at + first.length()) >= 0);
    }

    static int count(String text, String part) {
        int n = 0;
        for (int i = text.indexOf(part); i >= 0; i = text.indexOf(part, i + 1)) {
            n++;
        }
        return n;
    }
}
