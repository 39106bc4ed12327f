import sys

from awb_desk.report import main

sys.exit(main())
