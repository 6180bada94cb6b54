# filled in as the CAD exchange is built
