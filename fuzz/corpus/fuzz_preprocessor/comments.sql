select 1 /* c */ from t
/* open
   inside
still */ select 2
-- a comment line
-- see /* here
*/ done
