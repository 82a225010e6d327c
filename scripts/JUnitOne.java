// Runs one method of a JUnit 4 test class (scripts/junit-one): the class
// and method named by the arguments, reported as JUnitCore reports a class.
import org.junit.internal.TextListener;
import org.junit.runner.JUnitCore;
import org.junit.runner.Request;
import org.junit.runner.Result;

public class JUnitOne {
    public static void main(String[] args) throws ClassNotFoundException {
        if (args.length != 2) {
            System.err.println("usage: JUnitOne CLASS METHOD");
            System.exit(2);
        }
        JUnitCore core = new JUnitCore();
        core.addListener(new TextListener(System.out));
        Result result = core.run(Request.method(Class.forName(args[0]), args[1]));
        System.exit(result.wasSuccessful() && result.getRunCount() > 0 ? 0 : 1);
    }
}
