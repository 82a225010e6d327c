package com.qv.probe;

import java.net.URL;
import java.net.URLConnection;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import org.springframework.context.annotation.AnnotationConfigApplicationContext;
import org.springframework.core.SpringVersion;
import org.springframework.core.io.Resource;
import org.springframework.core.io.support.PathMatchingResourcePatternResolver;
import org.springframework.stereotype.Component;

/**
 * What a client sees of a framework and of its own resources: run once from
 * the class path and once from a package, each "probe:" line must read the
 * same. Spring's component scan and resource patterns list folders; its
 * version and commons-logging's come from their jars' manifests; the
 * connection of a resource tells its length, time and type.
 */
public final class FrameworkProbe {

    private FrameworkProbe() {
    }

    public static void main(String[] args) throws Exception {
        ClassLoader loader = FrameworkProbe.class.getClassLoader();
        AnnotationConfigApplicationContext context = new AnnotationConfigApplicationContext();
        context.setClassLoader(loader);
        context.scan("com.qv.probe");
        context.refresh();
        List<String> components = new ArrayList<>(Arrays.asList(context.getBeanNamesForAnnotation(Component.class)));
        Collections.sort(components);
        context.close();
        System.out.println("probe: components " + components);

        List<String> templates = new ArrayList<>();
        for (Resource r : new PathMatchingResourcePatternResolver(loader).getResources("classpath*:templates/*.txt")) {
            templates.add(r.getFilename());
        }
        Collections.sort(templates);
        System.out.println("probe: templates " + templates);

        Package logging = Class.forName("org.apache.commons.logging.LogFactory", false, loader).getPackage();
        System.out.println("probe: spring " + SpringVersion.getVersion() + ", commons-logging "
                + logging.getImplementationTitle() + " " + logging.getImplementationVersion() + " by "
                + logging.getImplementationVendor());

        for (String name : new String[] {"templates/a.txt", "org/springframework/core/SpringVersion.class"}) {
            URLConnection connection = loader.getResource(name).openConnection();
            System.out.println("probe: " + name + " length " + connection.getContentLengthLong() + " type "
                    + connection.getContentType() + (name.endsWith(".txt") ? " modified "
                    + connection.getLastModified() : " modified " + (connection.getLastModified() > 0)));
        }
        URL folder = loader.getResource("com/qv/probe/");
        System.out.println("probe: folder " + (folder == null ? "missing" : "found"));
    }

    /** Found by the component scan. */
    @Component
    public static final class Widget {
    }

    /** Found by the component scan. */
    @Component
    public static final class Gadget {
    }
}
